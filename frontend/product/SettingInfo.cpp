#include "SettingInfo.h"

#include "TolvanUtils.h"

namespace tolvan {

namespace {

QString YesNo(bool ticked) { return ticked ? QStringLiteral("Yes") : QStringLiteral("No"); }

}  // namespace

void AddSettingInfo(QStringList& lines, const TSettingInfo& values) {
    const QString separator = QString::fromLatin1(kSeparatorLine);
    lines.append(QStringLiteral("Setting Information:"));
    lines.append(QLatin1String(kCaptionOpenFixed) + QStringLiteral(": ") + YesNo(values.openFixed));
    lines.append(QLatin1String(kCaptionUseNewDir) + QStringLiteral(": ") + YesNo(values.useNewDir));
    lines.append(QLatin1String(kCaptionUseNewDir) + QLatin1Char(' ') +
                 QString::number(RoundToInt(values.maxMsgCount)));
    lines.append(QLatin1String(kCaptionTempDir) + QLatin1Char(' ') + values.tempDir);
    lines.append(QLatin1String(kCaptionBufSize) + QLatin1Char(' ') +
                 QString::number(RoundToInt(values.bufSize)));
    lines.append(QLatin1String(kCaptionStoreAware) + QStringLiteral(": ") + YesNo(values.storeAware));
    lines.append(QLatin1String(kCaptionReadableNames) + QStringLiteral(": ") + YesNo(values.readableNames));
    lines.append(QLatin1String(kCaptionFileDates) + QStringLiteral(": ") + YesNo(values.fileDates));
    lines.append(QLatin1String(kCaptionSkipIdentical) + QStringLiteral(": ") + YesNo(values.skipIdentical));
    lines.append(separator);
    lines.append(QStringLiteral("End of Setting Information"));
    lines.append(separator);
}

}  // namespace tolvan
