#include "Fakes.h"

#include "platform/RuntimeError.h"

namespace fakes {

QStringList FakeMessageBox::texts() const {
    QStringList result;
    for (const ShownMessage& message : shown)
        result.append(message.text);
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

FakeServices::FakeServices() {
    services.messageBox = &messageBox;
    services.inputBox = &inputBox;
    services.fileDialogs = &fileDialogs;
    services.settings = &settings;
    services.clipboard = &clipboard;
    services.events = &events;
    services.clock = &clock;
    services.random = &random;
}

} // namespace fakes
