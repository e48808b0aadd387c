#include "Fakes.h"

#include "platform/RuntimeError.h"

#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace fakes {

QStringList FakeMessageBox::texts() const {
    QStringList result;
    for (const ShownMessage& message : shown)
        result.append(message.text);
    return result;
}

QStringList FakeMessageBox::reportedLines() const {
    QStringList lines;
    for (const ShownMessage& message : shown) {
        const qsizetype at = message.text.indexOf(u"at line "_s);
        if (at >= 0)
            lines.append(message.text.mid(at + 8, message.text.indexOf(u'\r', at) - at - 8));
    }
    return lines;
}

QStringList FakeSettingsStore::writesOf(const QString& key) const {
    QStringList result;
    for (const auto& [written, value] : writes) {
        if (written == key)
            result.append(value);
    }
    return result;
}

QString FakeSettingsStore::read(const QString& key, const QString& defaultValue) {
    if (failReads)
        throw platform::RuntimeError(platform::RuntimeError::PathFileAccessError);
    const auto it = values.constFind(key);
    return it == values.cend() ? defaultValue : *it;
}

void FakeSettingsStore::write(const QString& key, const QString& value) {
    if (failWrites)
        throw platform::RuntimeError(platform::RuntimeError::PathFileAccessError);
    values.insert(key, value);
    writes.append({key, value});
}

bool FakeClipboard::clear() {
    ++clearAttempts;
    if (failuresLeft > 0) {
        --failuresLeft;
        return false;
    }
    text.clear();
    hasText = false;
    return true;
}

bool FakeClipboard::setText(const QString& newText, int /*format*/) {
    ++setAttempts;
    if (failuresLeft > 0) {
        --failuresLeft;
        return false;
    }
    text = newText;
    hasText = true;
    return true;
}

std::uint32_t FakeRandomSource::next() {
    ++draws;
    if (!values.isEmpty())
        return values.dequeue();
    state += 0x9e3779b97f4a7c15ULL;
    return static_cast<std::uint32_t>(platform::MixingRandomSource::mix(state) >> 32);
}

namespace {

class FakeSheet final : public platform::SpreadsheetSheet {
public:
    explicit FakeSheet(FakeSpreadsheets& owner)
        : m_owner(owner) {}
    void setCellText(int row, int column, QStringView text) override {
        // What one sheet cannot hold is refused as the real sheet refuses it.
        if (row < 1 || row > platform::kSheetRows || column < 1 || column > platform::kSheetColumns ||
            text.size() > platform::kCellCharacters)
            throw platform::RuntimeError(platform::RuntimeError::ApplicationDefined);
        m_owner.call(u"cell %1 %2 %3"_s.arg(row).arg(column).arg(text));
        m_owner.cells.insert({row, column}, text.toString());
    }
    void autoFitColumn(int column) override { m_owner.call(u"fit %1"_s.arg(column)); }
    void autoFitColumns() override { m_owner.call(u"fit all"_s); }

private:
    FakeSpreadsheets& m_owner;
};

class FakeWorkbook final : public platform::SpreadsheetWorkbook {
public:
    explicit FakeWorkbook(FakeSpreadsheets& owner)
        : m_sheet(owner) {}
    platform::SpreadsheetSheet& activeSheet() override { return m_sheet; }

private:
    FakeSheet m_sheet;
};

class FakeApplication final : public platform::SpreadsheetApplication {
public:
    explicit FakeApplication(FakeSpreadsheets& owner)
        : m_owner(owner) {}
    platform::SpreadsheetWorkbook& addWorkbook() override {
        m_owner.call(u"add"_s);
        m_workbooks.push_back(std::make_unique<FakeWorkbook>(m_owner));
        return *m_workbooks.back();
    }
    void setVisible(bool visible) override { m_owner.call(visible ? u"visible"_s : u"hidden"_s); }

private:
    FakeSpreadsheets& m_owner;
    std::vector<std::unique_ptr<FakeWorkbook>> m_workbooks;
};

} // namespace

void FakeSpreadsheets::call(const QString& call) {
    if (callsBeforeLoss == 0)
        throw platform::RuntimeError(platform::RuntimeError::AutomationError);
    if (callsBeforeLoss > 0)
        --callsBeforeLoss;
    calls.append(call);
}

std::unique_ptr<platform::SpreadsheetApplication> FakeSpreadsheets::createApplication() {
    ++creations;
    const bool succeeds = creationOutcomes.isEmpty() ? installed : creationOutcomes.dequeue();
    if (!succeeds)
        throw platform::RuntimeError(platform::RuntimeError::CannotCreateObject);
    calls.append(u"create"_s);
    return std::make_unique<FakeApplication>(*this);
}

FakeServices::FakeServices() {
    services.messageBox = &messageBox;
    services.inputBox = &inputBox;
    services.fileDialogs = &fileDialogs;
    services.settings = &settings;
    services.clipboard = &clipboard;
    services.events = &events;
    services.clock = &clock;
    services.random = &random;
    services.spreadsheets = &spreadsheets;
}

} // namespace fakes
