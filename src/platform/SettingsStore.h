#pragma once

#include <QString>

namespace platform {

// Text values addressed by key inside the program's own section. Both operations are synchronous;
// a failure of the store itself raises platform::RuntimeError.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // The stored text, or defaultValue when the key is absent. A stored empty text reads back empty.
    virtual QString read(const QString& key, const QString& defaultValue) = 0;
    virtual void write(const QString& key, const QString& value) = 0;
};

} // namespace platform
