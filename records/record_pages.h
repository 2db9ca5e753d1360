#pragma once

#include <QString>

#include <functional>

#include "records/record_store.h"

// Every record a filter takes, newest first, read a page at a time: each page starts after the
// last record of the one before (RecordFilter::after), so memory stays within a page and the
// time grows with the records taken, however many there are. `take` gets each record in turn
// and answers why it cannot go on, or an empty text. Returns the store's or take's reason for
// stopping early, or an empty text once every record was taken.
inline constexpr int kRecordPageSize = 5000;

QString EachRun(RecordStore& store, const RecordFilter& filter,
                const std::function<QString(const RunRecord&)>& take,
                int pageSize = kRecordPageSize);
QString EachChange(RecordStore& store, const RecordFilter& filter,
                   const std::function<QString(const ProgramChange&)>& take,
                   int pageSize = kRecordPageSize);
