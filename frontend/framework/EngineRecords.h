// The engine's records (VarrowMessageRecord, VarrowTotals) start with the
// size the engine filled; later engines only add fields at the end. A
// field is read only when the record reaches past it.
#pragma once

#include <cstddef>

namespace tolvan {

// True when record is not null and its size covers the whole of field.
template <class Record, class Field>
bool HasRecordField(const Record* record, Field Record::*field) {
    if (record == nullptr) return false;
    static const Record probe{};
    const auto* base = reinterpret_cast<const char*>(&probe);
    const auto* member = reinterpret_cast<const char*>(&(probe.*field));
    const size_t end = static_cast<size_t>(member - base) + sizeof(Field);
    return record->size >= end;
}

}  // namespace tolvan
