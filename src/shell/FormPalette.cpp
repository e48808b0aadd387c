#include "FormPalette.h"

#include <type_traits>
#include <utility>

namespace shell {

QPalette formPalette() {
    const QColor black(Qt::black);
    const QColor white(Qt::white);
    const QColor buttonFace(0xf0, 0xf0, 0xf0);
    const QColor edge(0xa0, 0xa0, 0xa0);
    const std::pair<QPalette::ColorRole, QColor> roles[] = {
        {QPalette::Window, white},
        {QPalette::WindowText, black},
        {QPalette::Base, white},
        {QPalette::AlternateBase, buttonFace},
        {QPalette::Text, black},
        {QPalette::PlaceholderText, QColor(0x6d, 0x6d, 0x6d)},
        {QPalette::Button, buttonFace},
        {QPalette::ButtonText, black},
        {QPalette::BrightText, white},
        {QPalette::Light, white},
        {QPalette::Midlight, QColor(0xe3, 0xe3, 0xe3)},
        {QPalette::Mid, edge},
        {QPalette::Dark, edge},
        {QPalette::Shadow, QColor(0x69, 0x69, 0x69)},
        {QPalette::Highlight, QColor(0x00, 0x5a, 0x9e)}, // white on it: 7:1
        {QPalette::HighlightedText, white},
        {QPalette::Link, QColor(0x00, 0x5a, 0x9e)},
        {QPalette::LinkVisited, QColor(0x6b, 0x2f, 0x8f)},
        {QPalette::ToolTipBase, QColor(0xff, 0xff, 0xe1)},
        {QPalette::ToolTipText, black},
    };
    static_assert(std::extent_v<decltype(roles)> == QPalette::NColorRoles - 1, "every colour role but NoRole");
    QPalette palette;
    for (const auto& [role, colour] : roles)
        palette.setColor(role, colour);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, QColor(0x78, 0x78, 0x78));
    return palette;
}

} // namespace shell
