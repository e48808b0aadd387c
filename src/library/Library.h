#pragma once

// The dice library: named dice and sets of dice, one file each in a folder of the user's data
// (~/.local/share/Calverin/Quorvin Tessaly/, or under $XDG_DATA_HOME), in the formats of
// LibraryFormat.h. The window's "Dice Library" and `quorvin-tessaly library` both work through this
// class.
//
// The library keeps no state besides its folder: every call reads the folder as it is, so a list made
// on a worker thread and a save on the window's thread may run at once (a save replaces its file whole,
// so a list reads the old file or the new one). list() reads every file; a call that looks a name up
// reads only the first lines of each. Names are one whatever their case (Names.h).
//
// A file that cannot be read is never changed, moved or deleted: list() reports it among its problems
// and goes on with the others, and a call that needs that very file (to load it, or to save, rename
// or remove the entry it names) raises the reason.
//
// Failures raise platform::RuntimeError whose description is a sentence for the user: what failed, on
// which file or name, and why ("Could not save \"/home/ann/.../Six.die\": Disk full.").

#include "LibraryFormat.h"
#include "Names.h"

#include "dice/DiceSet.h"
#include "dice/Die.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

namespace library {

// One line of the library's list.
struct Entry {
    QString name;
    Kind kind = Kind::Die;
    std::int64_t count = 0; // a die's sides, a set's dice per roll
    bool weighted = false;  // a die with a side that weighs other than 1
    QString setSummary;     // a set's "2 × Six, 1 × Coin"
    QString fileName;       // in the library's folder
};

// A file the list left out, and why: "line 4: ..." or a reason for the whole file.
struct Problem {
    QString fileName;
    QString reason;
};

struct Listing {
    std::vector<Entry> entries; // by name, ignoring case
    std::vector<Problem> problems;
};

// What remove() took away, enough for restore() to put it back as it was: for an undo.
struct Removed {
    QString name;
    Kind kind = Kind::Die;
    QString fileName;
    QByteArray content;
};

using Item = std::variant<dice::Die, dice::DiceSet>;

class Library {
public:
    explicit Library(QString folder = defaultFolder());

    // The data location's "Calverin/Quorvin Tessaly" folder. It is made when something is first saved.
    static QString defaultFolder();
    const QString& folder() const { return m_folder; }
    QString filePath(const QString& fileName) const;

    // Every die and set, by name, and a problem for every file that cannot be read. A folder that does
    // not exist yet is an empty library.
    Listing list() const;
    // The die or set of that name (any case), its count and weights not filled in; none when there is
    // none.
    std::optional<Entry> find(QStringView name) const;
    bool exists(QStringView name) const { return find(name).has_value(); }

    dice::Die loadDie(QStringView name) const;
    dice::DiceSet loadSet(QStringView name) const;
    Item load(QStringView name) const;
    // The dice a set names, in set order with their counts.
    std::vector<dice::CountedDie> setDice(const dice::DiceSet& set) const;

    // Stores the die or set under its name, replacing the one of that name (any case) if it is of
    // the same kind: asking first is the caller's. A name that a die has cannot be given to a set, nor
    // the other way round.
    void save(const dice::Die& die);
    void save(const dice::DiceSet& set);
    void save(const Item& item);
    // Renames an entry; to is a name no other entry has (a change of case alone is a rename too).
    // Sets that name a renamed die are left as they are.
    void rename(QStringView from, const QString& to);
    // A copy under a free name, "Six (copy)", "Six (copy 2)", ...; returns that name.
    QString duplicate(QStringView name);
    Removed remove(QStringView name);
    // Puts a removed entry back under its file name, unless an entry of its name has come since.
    void restore(const Removed& removed);

    // --- files outside the library

    // Reads a side list, weighted list or library file (by default, the format formatOf() tells). A die
    // from a list is named after the file, without its extension.
    static Item readFile(const QString& path, std::optional<Format> format = std::nullopt);
    // The item in the format; a set only as a library file.
    static QByteArray fileBytes(const Item& item, Format format);
    // Writes the bytes to path, replacing an earlier file only once the new one is complete.
    static void writeFile(const QString& path, const QByteArray& bytes);

private:
    struct Located {
        Entry entry;
        QByteArray content;
    };
    Located locate(QStringView name) const;    // raises when there is none
    Item parsed(const Located& located) const; // raises, naming the file, when it is damaged
    QStringList fileNames() const;
    void store(const QString& name, Kind kind, const QByteArray& bytes);

    QString m_folder;
};

// The name of an item, whichever it is.
QString itemName(const Item& item);
void setItemName(Item& item, const QString& name);

} // namespace library
