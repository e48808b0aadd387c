#pragma once

#include <QString>

// The shared procedures of the program's Main module that belong to the application shell. The
// other subsystems add theirs to the same namespace (dice/, roll/, results/).
namespace Main {

// True when the path names an existing file; never raises an error.
bool FileExists(const QString& path);

// The product name shortened word by word until at most 40 characters, dropping at least one word.
QString ApplicationTitleFor(const QString& productName);
// Makes ApplicationTitleFor(the program's name) the caption of message boxes that name no title.
void SetApplicationTitle();

// The folders where optional files of the program ("x/o.cjs", "HAND-M.CUR") are looked for, in order.
QStringList ProgramFolders();
// The first existing file of that relative name in ProgramFolders(), or the empty text.
QString FindProgramFile(const QString& relativeName);

} // namespace Main
