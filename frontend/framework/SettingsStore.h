// The one place where settings are read from and written to the per-user
// store: an INI file with all values in its group "Misc". A settings class
// describes its values as one table of {name, field, default} and loads or
// saves it with LoadFields and SaveFields.
#pragma once

#include <cstdint>
#include <limits>
#include <stdexcept>

#include <QSettings>
#include <QString>

namespace tolvan {

// Raised when the store cannot be written; what() is the text for the
// user: "Failed to create key %s" filled with the store and group.
class TSettingsError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One opening of the store, for one Load or one Save.
class TSettingsStore {
public:
    explicit TSettingsStore(const QString& filePath);

    // Missing values, and values of the wrong kind, give fallback.
    QString ReadText(const char* name, const QString& fallback) const;
    // A number, or a text holding a decimal number that fits 32 bits, kept
    // inside minimum..maximum.
    int32_t ReadInteger(const char* name, int32_t fallback, int32_t minimum, int32_t maximum) const;
    // Read as an integer; true when it is not 0.
    bool ReadBoolean(const char* name, bool fallback) const;

    void WriteText(const char* name, const QString& value);
    // A number, except that a value stored as a text stays a text.
    void WriteInteger(const char* name, int32_t value);
    // The texts "0" and "1".
    void WriteBoolean(const char* name, bool value);

    // Writes what was written to the file; raises TSettingsError when the
    // file or its folder cannot be created or written.
    void Commit();

private:
    QSettings settings_;
};

// One row of a settings table: a value's name, the field of Owner it fills
// and its default.
template <class Owner>
struct TSettingField {
    enum class Kind { Text, Integer, Boolean };

    static TSettingField Text(const char* name, QString Owner::*field, QString fallback) {
        TSettingField row;
        row.name = name;
        row.kind = Kind::Text;
        row.text = field;
        row.textDefault = fallback;
        return row;
    }
    static TSettingField Integer(const char* name, int32_t Owner::*field, int32_t fallback,
                                 int32_t minimum = std::numeric_limits<int32_t>::min(),
                                 int32_t maximum = std::numeric_limits<int32_t>::max()) {
        TSettingField row;
        row.name = name;
        row.kind = Kind::Integer;
        row.integer = field;
        row.integerDefault = fallback;
        row.minimum = minimum;
        row.maximum = maximum;
        return row;
    }
    static TSettingField Boolean(const char* name, bool Owner::*field, bool fallback) {
        TSettingField row;
        row.name = name;
        row.kind = Kind::Boolean;
        row.boolean = field;
        row.booleanDefault = fallback;
        return row;
    }

    const char* name = nullptr;
    Kind kind = Kind::Text;
    QString Owner::*text = nullptr;
    int32_t Owner::*integer = nullptr;
    bool Owner::*boolean = nullptr;
    QString textDefault;
    int32_t integerDefault = 0;
    bool booleanDefault = false;
    int32_t minimum = std::numeric_limits<int32_t>::min();
    int32_t maximum = std::numeric_limits<int32_t>::max();
};

template <class Owner, class Table>
void LoadFields(const TSettingsStore& store, Owner& owner, const Table& table) {
    for (const auto& row : table) {
        switch (row.kind) {
        case TSettingField<Owner>::Kind::Text:
            owner.*row.text = store.ReadText(row.name, row.textDefault);
            break;
        case TSettingField<Owner>::Kind::Integer:
            owner.*row.integer = store.ReadInteger(row.name, row.integerDefault, row.minimum, row.maximum);
            break;
        case TSettingField<Owner>::Kind::Boolean:
            owner.*row.boolean = store.ReadBoolean(row.name, row.booleanDefault);
            break;
        }
    }
}

template <class Owner, class Table>
void SaveFields(TSettingsStore& store, const Owner& owner, const Table& table) {
    for (const auto& row : table) {
        switch (row.kind) {
        case TSettingField<Owner>::Kind::Text:
            store.WriteText(row.name, owner.*row.text);
            break;
        case TSettingField<Owner>::Kind::Integer:
            store.WriteInteger(row.name, owner.*row.integer);
            break;
        case TSettingField<Owner>::Kind::Boolean:
            store.WriteBoolean(row.name, owner.*row.boolean);
            break;
        }
    }
}

}  // namespace tolvan
