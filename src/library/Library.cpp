#include "Library.h"

#include "platform/Identity.h"
#include "platform/RuntimeError.h"
#include "platform/TextFile.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <cstring>

using namespace Qt::StringLiterals;

namespace library {

namespace {

using platform::RuntimeError;

// Enough for the first lines of any file the library writes: the header and a name of up to 200
// characters.
constexpr qsizetype kHeaderBytes = 4096;
constexpr qsizetype kReadChunkBytes = 256 * 1024;

// A path in a message, with what a person could not see (or a terminal would act on) escaped.
QString quoted(const QString& path) {
    return u'"' + escapeText(QDir::toNativeSeparators(path)) + u'"';
}

QString sentence(const QString& text) {
    return text.endsWith(u'.') ? text : text + u'.';
}

[[noreturn]] void failOn(const QString& doing, const QString& path, const RuntimeError& error) {
    throw RuntimeError(error.number(),
                       u"Could not "_s + doing + u' ' + quoted(path) + u": "_s + sentence(error.description()));
}

[[noreturn]] void failWith(RuntimeError::Code code, const QString& text) {
    throw RuntimeError(code, text);
}

// A name in a message: what a person could not see escaped as the library's files write it, and a
// name longer than any the library takes cut short.
QString shownName(QStringView name) {
    return u'"' + escapeText(name.first(std::min(name.size(), kLongestName))) +
           (name.size() > kLongestName ? u"\u2026\""_s : u"\""_s);
}

QString describe(Kind kind, QStringView name) {
    return kindWord(kind) + u' ' + shownName(name);
}

[[noreturn]] void failNameTaken(const Entry& entry) {
    failWith(RuntimeError::FileAlreadyOpen,
             u"The library has a "_s + describe(entry.kind, entry.name) + u" already."_s);
}

// The whole file, or its first `most` bytes. Raises the reader's RuntimeError as it is.
QByteArray rawBytes(const QString& path, qsizetype most = -1) {
    platform::TextFileReader reader(path);
    QByteArray all;
    QByteArray buffer(most > 0 ? most : kReadChunkBytes, Qt::Uninitialized);
    for (QByteArrayView chunk = reader.read(buffer); !chunk.isEmpty(); chunk = reader.read(buffer)) {
        all += chunk;
        if (most > 0 && all.size() >= most)
            break;
    }
    return all;
}

// Why a file could not be read, in plain words where the reader's own are not.
QString readFailure(const QString& path, const RuntimeError& error) {
    const QFileInfo file(path);
    if (file.isDir())
        return u"it is a folder."_s;
    if (file.exists() && !file.isFile())
        return u"it is not a regular file."_s;
    return sentence(error.description());
}

// The same, failing with a sentence that names the file.
QByteArray readBytes(const QString& path) {
    try {
        return rawBytes(path);
    } catch (const RuntimeError& error) {
        failOn(u"read"_s, path, RuntimeError(error.number(), readFailure(path, error)));
    }
}

// A failed write or removal, named by the system's own words for its cause ("No space left on device").
RuntimeError writeError(int savedErrno) {
    RuntimeError::Code code = RuntimeError::DeviceIoError;
    switch (savedErrno) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        code = RuntimeError::DiskFull;
        break;
    case EACCES:
    case EPERM:
    case EROFS:
        code = RuntimeError::PermissionDenied;
        break;
    case ENOENT:
    case ENOTDIR:
        code = RuntimeError::PathNotFound;
        break;
    default:
        break;
    }
    return savedErrno == 0 ? RuntimeError(code) : RuntimeError(code, QString::fromLocal8Bit(std::strerror(savedErrno)));
}

// In the words of the window's other save commands: Could not save "/x/Six.die": Permission denied.
[[noreturn]] void failSaving(const QString& path, const RuntimeError& error) {
    failOn(u"save"_s, path, error);
}

QString copyName(QStringView name, int number) {
    const QString suffix = number == 1 ? u" (copy)"_s : u" (copy "_s + QString::number(number) + u')';
    return name.first(std::min(name.size(), kLongestName - suffix.size())).trimmed().toString() + suffix;
}

Kind kindOf(const Item& item) {
    return std::holds_alternative<dice::Die>(item) ? Kind::Die : Kind::Set;
}

QByteArray libraryBytes(const Item& item) {
    if (const auto* die = std::get_if<dice::Die>(&item))
        return dieFileBytes(*die);
    return setFileBytes(std::get<dice::DiceSet>(item));
}

// The name a die read from a list takes: the file's name without its extension, made a name.
QString nameFromPath(const QString& path) {
    QString name = QFileInfo(path).completeBaseName().simplified();
    name.truncate(kLongestName);
    name = name.trimmed();
    return nameProblem(name).isEmpty() ? name : u"Imported die"_s;
}

} // namespace

QString itemName(const Item& item) {
    return std::visit([](const auto& value) { return value.name; }, item);
}

void setItemName(Item& item, const QString& name) {
    std::visit([&](auto& value) { value.name = name; }, item);
}

Library::Library(QString folder)
    : m_folder(std::move(folder)) {}

QString Library::defaultFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u'/' +
           QString::fromUtf16(platform::kOrganizationName) + u'/' + QString::fromUtf16(platform::kApplicationName);
}

QString Library::filePath(const QString& fileName) const {
    return m_folder + u'/' + fileName;
}

QStringList Library::fileNames() const {
    const QDir folder(m_folder);
    // Hidden files stay out, and so do the temporary files of a save under way ("Six.die.Ab12Cd").
    // Pipes and devices are listed, to be reported rather than read.
    QStringList names =
        folder.entryList({u"*"_s + QString::fromUtf16(kDieExtension), u"*"_s + QString::fromUtf16(kSetExtension)},
                         QDir::Files | QDir::System, QDir::NoSort);
    // One order on every system and in every locale, so that of two files with one name the same wins.
    std::sort(names.begin(), names.end());
    return names;
}

Listing Library::list() const {
    // No folder yet is an empty library; a file in its place would list as one too, and hide it.
    if (const QFileInfo folder(m_folder); folder.exists() && !folder.isDir())
        failOn(u"read the library"_s, m_folder,
               RuntimeError(RuntimeError::PathFileAccessError, u"it is not a folder"_s));
    Listing listing;
    QHash<QString, QString> fileOfName; // by case-folded name
    for (const QString& fileName : fileNames()) {
        try {
            // A file that does not start as a library file is not read further, however large.
            QByteArray bytes = rawBytes(filePath(fileName), kHeaderBytes);
            if (bytes.size() >= kHeaderBytes && formatOf(QString(), bytes) == Format::LibraryFile)
                bytes = rawBytes(filePath(fileName));
            const Summary summary = summarizeLibraryFile(bytes);
            const QString folded = summary.name.toCaseFolded();
            if (const auto earlier = fileOfName.constFind(folded); earlier != fileOfName.constEnd()) {
                listing.problems.push_back({fileName, u"it names a "_s + kindWord(summary.kind) + u" \""_s +
                                                          summary.name + u"\", as "_s + *earlier +
                                                          u" does already; give one of them another name."_s});
                continue;
            }
            fileOfName.insert(folded, fileName);
            listing.entries.push_back(
                {summary.name, summary.kind, summary.count, summary.weighted, summary.setSummary, fileName});
        } catch (const RuntimeError& error) {
            listing.problems.push_back({fileName, readFailure(filePath(fileName), error)});
        }
    }
    std::sort(listing.entries.begin(), listing.entries.end(), [](const Entry& a, const Entry& b) {
        const int order = a.name.compare(b.name, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a.name < b.name;
    });
    return listing;
}

std::optional<Entry> Library::find(QStringView name) const {
    for (const QString& fileName : fileNames()) {
        const QString path = filePath(fileName);
        std::optional<std::pair<Kind, QString>> header;
        try {
            const QByteArray start = rawBytes(path, kHeaderBytes);
            header = libraryFileHeader(start);
            if (!header && start.size() >= kHeaderBytes)
                header = libraryFileHeader(rawBytes(path));
        } catch (const RuntimeError&) {
            continue; // a file that cannot be read names nothing; list() reports it
        }
        if (header && sameName(header->second, name)) {
            Entry entry;
            entry.kind = header->first;
            entry.name = header->second;
            entry.fileName = fileName;
            return entry;
        }
    }
    return std::nullopt;
}

Library::Located Library::locate(QStringView name) const {
    const std::optional<Entry> entry = find(name);
    if (!entry)
        failWith(RuntimeError::FileNotFound, u"The library has no die or set named "_s + shownName(name) + u'.');
    return {*entry, readBytes(filePath(entry->fileName))};
}

Item Library::parsed(const Located& located) const {
    try {
        return parseLibraryFile(located.content);
    } catch (const RuntimeError& error) {
        failOn(u"read"_s, filePath(located.entry.fileName), error);
    }
}

Item Library::load(QStringView name) const {
    return parsed(locate(name));
}

dice::Die Library::loadDie(QStringView name) const {
    Item item = load(name);
    if (auto* die = std::get_if<dice::Die>(&item))
        return std::move(*die);
    failWith(RuntimeError::TypeMismatch, u"\""_s + itemName(item) + u"\" is a set, not a die."_s);
}

dice::DiceSet Library::loadSet(QStringView name) const {
    Item item = load(name);
    if (auto* set = std::get_if<dice::DiceSet>(&item))
        return std::move(*set);
    failWith(RuntimeError::TypeMismatch, u"\""_s + itemName(item) + u"\" is a die, not a set."_s);
}

std::vector<dice::CountedDie> Library::setDice(const dice::DiceSet& set) const {
    std::vector<dice::CountedDie> dice;
    QHash<QString, std::size_t> loaded; // a die named twice is read once
    for (const dice::SetEntry& entry : set.entries) {
        const QString folded = entry.die.toCaseFolded();
        if (const auto earlier = loaded.constFind(folded); earlier != loaded.constEnd()) {
            dice.push_back({dice[*earlier].die, entry.count});
            continue;
        }
        if (!exists(entry.die))
            failWith(RuntimeError::FileNotFound, u"The set "_s + shownName(set.name) + u" names the die "_s +
                                                     shownName(entry.die) + u", which the library does not have."_s);
        loaded.insert(folded, dice.size());
        dice.push_back({loadDie(entry.die), entry.count});
    }
    return dice;
}

void Library::save(const dice::Die& die) {
    save(Item(die));
}

void Library::save(const dice::DiceSet& set) {
    save(Item(set));
}

void Library::save(const Item& item) {
    const QString name = itemName(item);
    const Kind kind = kindOf(item);
    QString problem = nameProblem(name);
    if (problem.isEmpty())
        problem = kind == Kind::Die ? dice::dieProblem(std::get<dice::Die>(item))
                                    : dice::setProblem(std::get<dice::DiceSet>(item));
    if (!problem.isEmpty())
        failWith(RuntimeError::ApplicationDefined, u"Could not save the "_s + describe(kind, name) + u": "_s + problem);
    store(name, kind, libraryBytes(item));
}

void Library::store(const QString& name, Kind kind, const QByteArray& bytes) {
    const std::optional<Entry> existing = find(name);
    if (existing && existing->kind != kind)
        failNameTaken(*existing);
    if (existing)
        parsed({*existing, readBytes(filePath(existing->fileName))}); // a damaged file is never written over
    errno = 0;
    if (!QDir().mkpath(m_folder))
        failOn(u"make the folder"_s, m_folder, writeError(errno));
    writeFile(filePath(existing ? existing->fileName : fileNameFor(name, kind, fileNames())), bytes);
}

void Library::rename(QStringView from, const QString& to) {
    const Located located = locate(from);
    if (const QString problem = nameProblem(to); !problem.isEmpty())
        failWith(RuntimeError::ApplicationDefined,
                 u"Could not rename the "_s + describe(located.entry.kind, located.entry.name) + u": "_s + problem);
    if (const std::optional<Entry> other = find(to); other && other->fileName != located.entry.fileName)
        failNameTaken(*other);
    Item item = parsed(located);
    setItemName(item, to);
    QStringList others = fileNames();
    others.removeAll(located.entry.fileName);
    QString fileName = fileNameFor(to, located.entry.kind, others);
    // A change of case alone would, on a file system that ignores case, write the file and then
    // delete it: such a file keeps its name.
    const bool sameFile = fileName.compare(located.entry.fileName, Qt::CaseInsensitive) == 0;
    if (sameFile)
        fileName = located.entry.fileName;
    writeFile(filePath(fileName), libraryBytes(item));
    if (!sameFile && !QFile::remove(filePath(located.entry.fileName)))
        failOn(u"remove"_s, filePath(located.entry.fileName), writeError(errno));
}

QString Library::duplicate(QStringView name) {
    const Located located = locate(name);
    Item item = parsed(located);
    QString copy;
    for (int number = 1; copy.isEmpty() || exists(copy); ++number)
        copy = copyName(located.entry.name, number);
    setItemName(item, copy);
    store(copy, located.entry.kind, libraryBytes(item));
    return copy;
}

Removed Library::remove(QStringView name) {
    const Located located = locate(name);
    parsed(located); // a damaged file is never deleted
    errno = 0;
    if (!QFile::remove(filePath(located.entry.fileName)))
        failOn(u"remove"_s, filePath(located.entry.fileName), writeError(errno));
    return {located.entry.name, located.entry.kind, located.entry.fileName, located.content};
}

void Library::restore(const Removed& removed) {
    if (const std::optional<Entry> other = find(removed.name))
        failNameTaken(*other);
    errno = 0;
    if (!QDir().mkpath(m_folder))
        failOn(u"make the folder"_s, m_folder, writeError(errno));
    const QStringList taken = fileNames();
    const bool free = std::none_of(taken.begin(), taken.end(), [&](const QString& file) {
        return file.compare(removed.fileName, Qt::CaseInsensitive) == 0;
    });
    writeFile(filePath(free ? removed.fileName : fileNameFor(removed.name, removed.kind, taken)), removed.content);
}

Item Library::readFile(const QString& path, std::optional<Format> format) {
    const QByteArray bytes = readBytes(path);
    const Format chosen = format.value_or(formatOf(path, bytes));
    try {
        switch (chosen) {
        case Format::LibraryFile:
            return parseLibraryFile(bytes);
        case Format::WeightedList: {
            dice::Die die = parseWeightedList(bytes);
            die.name = nameFromPath(path);
            return die;
        }
        case Format::SideList:
            break;
        }
        dice::Die die = parseSideList(bytes);
        die.name = nameFromPath(path);
        return die;
    } catch (const RuntimeError& error) {
        failOn(u"read the "_s + formatName(chosen), path, error);
    }
}

QByteArray Library::fileBytes(const Item& item, Format format) {
    if (format == Format::LibraryFile)
        return libraryBytes(item);
    const auto* die = std::get_if<dice::Die>(&item);
    try {
        if (die == nullptr)
            failWith(RuntimeError::TypeMismatch, u"a set is written only as a library file."_s);
        return format == Format::WeightedList ? weightedListBytes(*die) : sideListBytes(*die);
    } catch (const RuntimeError& error) {
        failWith(RuntimeError::ApplicationDefined, u"Could not write the "_s + describe(kindOf(item), itemName(item)) +
                                                       u" as a "_s + formatName(format) + u": "_s +
                                                       sentence(error.description()));
    }
}

void Library::writeFile(const QString& path, const QByteArray& bytes) {
    // A pipe or a device would be replaced by a regular file, and its reader would get nothing.
    if (const QFileInfo target(path); target.exists() && !target.isFile() && !target.isDir())
        failSaving(path, RuntimeError(RuntimeError::PathFileAccessError, u"it is not a regular file"_s));
    QSaveFile file(path);
    errno = 0;
    // Unbuffered, so that a write the disk cannot take whole fails here and not half-way in a flush
    // that reports only part of it.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        failSaving(path, writeError(QFileInfo(path).isDir() ? EISDIR : errno));
    errno = 0;
    if (file.write(bytes) != bytes.size()) {
        const int savedErrno = errno;
        file.cancelWriting();
        failSaving(path, writeError(savedErrno));
    }
    errno = 0;
    if (!file.commit())
        failSaving(path, writeError(errno));
}

} // namespace library
