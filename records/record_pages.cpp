#include "records/record_pages.h"

#include <type_traits>

namespace {

template <typename Record, typename Select>
QString Each(RecordFilter filter, const Select& select,
             const std::function<QString(const Record&)>& take, int pageSize) {
  for (;;) {
    const Fetched<Record> page = select(filter, pageSize);
    if (!page.ok()) return page.error;
    for (const Record& record : page.items) {
      if (QString why = take(record); !why.isEmpty()) return why;
    }
    if (static_cast<int>(page.items.size()) < pageSize) return {};
    const Record& last = page.items.back();
    if constexpr (std::is_same_v<Record, RunRecord>) {
      filter.after = RecordKey{last.started, last.id};
    } else {
      filter.after = RecordKey{last.time, last.id};
    }
  }
}

}  // namespace

QString EachRun(RecordStore& store, const RecordFilter& filter,
                const std::function<QString(const RunRecord&)>& take, int pageSize) {
  return Each<RunRecord>(
      filter, [&store](const RecordFilter& f, int n) { return store.Runs(f, n); }, take, pageSize);
}

QString EachChange(RecordStore& store, const RecordFilter& filter,
                   const std::function<QString(const ProgramChange&)>& take, int pageSize) {
  return Each<ProgramChange>(
      filter, [&store](const RecordFilter& f, int n) { return store.Changes(f, n); }, take,
      pageSize);
}
