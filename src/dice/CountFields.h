#pragma once

#include <QString>

namespace platform {
struct Services;
}

namespace dice {

inline constexpr char16_t kNotNumericMessage[] = u"Must be a numeric entry.";
inline constexpr char16_t kBelowOneMessage[] = u"Sides must be greater than zero.";
inline constexpr char16_t kTooLargeMessage[] = u"Must be a whole number no greater than 2147483647.";

// The stored texts of the two count fields, and what a store without them gives.
inline constexpr char16_t kDicePerRollKey[] = u"Text1";
inline constexpr char16_t kDicePerRollDefault[] = u"1";
inline constexpr char16_t kNumberOfRollsKey[] = u"Text2";
inline constexpr char16_t kNumberOfRollsDefault[] = u"5";

// What a count field's text is wrong about, as the message the user is shown; empty when the text
// is a usable count (a whole number, after rounding, from 1 to 2147483647).
QString countProblem(const QString& text);

// The two count fields' own handling: every change is saved at once under the field's key, and
// leaving a field checks its text. Neither ever changes the text.
class CountFields {
public:
    explicit CountFields(const platform::Services& services)
        : m_services(services) {}

    // Saves the text unchanged under key ("Text1" or "Text2"), valid or not.
    void changed(const QString& key, const QString& text);
    // Shows the problem, if any, in an OK-only box with the application title; true when the text
    // passed and the focus may leave the field.
    bool lostFocus(const QString& text);

private:
    const platform::Services& m_services;
};

} // namespace dice
