#include "SettingsStore.h"

#include <algorithm>
#include <optional>

#include <QStringList>
#include <QVariant>

namespace tolvan {

namespace {

constexpr char kGroup[] = "Misc";

std::optional<int64_t> NumberOf(const QVariant& value) {
    bool ok = false;
    int64_t number = 0;
    switch (value.typeId()) {
    case QMetaType::QString:
        number = value.toString().toLongLong(&ok, 10);
        break;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Long:
    case QMetaType::Short:
    case QMetaType::UShort:
        number = value.toLongLong(&ok);
        break;
    default:
        break;
    }
    if (!ok) return std::nullopt;
    return number;
}

}  // namespace

TSettingsStore::TSettingsStore(const QString& filePath) : settings_(filePath, QSettings::IniFormat) {
    settings_.beginGroup(QLatin1String(kGroup));
}

QString TSettingsStore::ReadText(const char* name, const QString& fallback) const {
    const QVariant value = settings_.value(QLatin1String(name));
    if (!value.isValid()) return fallback;
    // The INI reader splits an unquoted text at its commas; such a text
    // (edited by hand) is taken back whole.
    if (value.typeId() == QMetaType::QStringList) return value.toStringList().join(QLatin1String(", "));
    if (!value.canConvert<QString>()) return fallback;
    return value.toString();
}

int32_t TSettingsStore::ReadInteger(const char* name, int32_t fallback, int32_t minimum,
                                    int32_t maximum) const {
    const std::optional<int64_t> number = NumberOf(settings_.value(QLatin1String(name)));
    if (!number || *number < std::numeric_limits<int32_t>::min() ||
        *number > std::numeric_limits<int32_t>::max())
        return fallback;
    return static_cast<int32_t>(std::clamp<int64_t>(*number, minimum, maximum));
}

bool TSettingsStore::ReadBoolean(const char* name, bool fallback) const {
    return ReadInteger(name, fallback ? 1 : 0, std::numeric_limits<int32_t>::min(),
                       std::numeric_limits<int32_t>::max()) != 0;
}

void TSettingsStore::WriteText(const char* name, const QString& value) {
    settings_.setValue(QLatin1String(name), value);
}

void TSettingsStore::WriteInteger(const char* name, int32_t value) {
    const QString key = QLatin1String(name);
    if (settings_.value(key).typeId() == QMetaType::QString)
        settings_.setValue(key, QString::number(value));
    else
        settings_.setValue(key, value);
}

void TSettingsStore::WriteBoolean(const char* name, bool value) {
    settings_.setValue(QLatin1String(name), value ? QStringLiteral("1") : QStringLiteral("0"));
}

void TSettingsStore::Commit() {
    settings_.sync();
    if (settings_.status() != QSettings::NoError) {
        const QString key = settings_.fileName() + QStringLiteral(" [") + QLatin1String(kGroup) +
                            QLatin1Char(']');
        throw TSettingsError(QStringLiteral("Failed to create key %1").arg(key).toStdString());
    }
}

}  // namespace tolvan
