#pragma once

#include "SettingsStore.h"

#include <QSettings>

#include <memory>

namespace platform {

// QSettings in native format, user scope, under the program's organisation and name (Identity.h).
//
// A settings file that cannot be read or parsed is never overwritten unseen: before the first write the
// entry at the file's place is moved aside, whole, to "<file>.bak" (or "<file>.1.bak", ... when that is
// taken), and the new file starts from whatever could be read. When even that move fails, writes raise
// RuntimeError and leave the file alone. Something that is not a file at all (a pipe, a device) is
// never opened: it is reported once, reads give their defaults and writes are dropped.
class QtSettingsStore final : public SettingsStore {
public:
    QtSettingsStore();
    explicit QtSettingsStore(const QString& fileName); // that INI file instead
    ~QtSettingsStore() override;
    QString read(const QString& key, const QString& defaultValue) override;
    void write(const QString& key, const QString& value) override;
    QString fileName() const;
    // Where an unreadable file went; empty when none did.
    const QString& backupFileName() const { return m_backup; }

private:
    void checkLoaded();
    void moveUnreadableFileAside();

    std::unique_ptr<QSettings> m_settings; // none when the file is not a file
    QString m_unusableFile;
    bool m_mustKeepOriginal = false;
    QString m_backup;
};

} // namespace platform
