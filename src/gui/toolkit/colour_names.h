#pragma once

// Colour texts as the settings store keeps them: a standard name such as
// "clBlue", or "$" and eight hexadecimal digits 00BBGGRR (blue first).

#include <QColor>
#include <QString>
#include <QStringList>

#include <optional>

namespace clarivex::ui {

// The standard colour names, in the order the colour box lists them.
const QStringList &standardColourNames();
// The colour of a text; nothing for a text that names none.
[[nodiscard]] std::optional<QColor> colourFromText(const QString &text);
// The standard name of a colour when it has one, else "$00BBGGRR".
[[nodiscard]] QString colourToText(const QColor &colour);

} // namespace clarivex::ui
