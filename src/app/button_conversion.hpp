#pragma once
// The window's four buttons and the conversions they run: each button's
// "tag" property (1 to 4) names its conversion.

#include <QObject>
#include <QString>
#include <QVariant>

#include <optional>

#include "batch/conversions.hpp"

namespace torvane {

[[nodiscard]] inline std::optional<Conversion> ConversionOfButton(const QObject* button) {
    const int tag = button != nullptr ? button->property("tag").toInt() : 0;
    if (tag < 1 || tag > 4) return std::nullopt;
    constexpr Conversion kConversionOfTag[] = {Conversion::kMSD2d2r, Conversion::kd2r2MSD, Conversion::kMSD2ddr,
                                               Conversion::kddr2MSD};
    return kConversionOfTag[tag - 1];
}

// The format that the file dialog offers first for a conversion's sources:
// 1 MSD, 2 d2r, 3 ddr.
[[nodiscard]] inline int SourceFormat(Conversion conversion) { return static_cast<int>(RowOf(conversion).from); }

[[nodiscard]] inline QString SourceFormatName(Conversion conversion) {
    const std::string_view name = RowOf(RowOf(conversion).from).name;
    return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

}  // namespace torvane
