#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "model/ListControl.h"

namespace {

constexpr int kRows = 100000;

struct Record {
    std::int64_t size = 0;
    QString name;
};

std::vector<Record> MakeRecords()
{
    std::vector<Record> records(kRows);
    std::uint32_t seed = 12345;
    for (int i = 0; i < kRows; ++i) {
        seed = seed * 1103515245u + 12345u;
        records[i].size = seed % 5000;  // many equal sizes, as in real folders
        records[i].name = QStringLiteral("file%1.dat").arg(i);
    }
    return records;
}

void AddColumns(ListControl& list)
{
    list.InsertColumn(0, {"Name", 140, Qt::AlignLeft});
    list.InsertColumn(1, {"Disk Space", 80, Qt::AlignRight});
    list.InsertColumn(2, {"File Size", 80, Qt::AlignRight});
    list.InsertColumn(3, {"Modified", 130, Qt::AlignLeft});
}

void Fill(ListControl& list, std::vector<Record>& records)
{
    list.SuspendRedraw();
    list.DeleteAllItems();
    list.SetItemCountHint(kRows);
    for (int i = 0; i < kRows; ++i) {
        const int row = list.InsertItem(i, records[i].name, 0, 0, &records[i]);
        const QString size = QString::number(records[i].size);
        list.SetItemText(row, 1, size);
        list.SetItemText(row, 2, size);
        list.SetItemText(row, 3, QStringLiteral("Sun Dec  6 21:11:11 2026"));
    }
    list.ResumeRedraw();
}

// By size, then by name ascending whatever the direction.
int BySize(void* first, void* second, std::intptr_t ascending)
{
    const auto* a = static_cast<const Record*>(first);
    const auto* b = static_cast<const Record*>(second);
    if (a->size == b->size) {
        return a->name.compare(b->name, Qt::CaseInsensitive);
    }
    const int order = a->size < b->size ? -1 : 1;
    return ascending != 0 ? order : -order;
}

void BM_FillRows(benchmark::State& state)
{
    std::vector<Record> records = MakeRecords();
    ListControl list;
    AddColumns(list);
    for (auto _ : state) {
        Fill(list, records);
        benchmark::DoNotOptimize(list.ItemCount());
    }
}
BENCHMARK(BM_FillRows)->Unit(benchmark::kMillisecond);

void BM_SortRows(benchmark::State& state)
{
    std::vector<Record> records = MakeRecords();
    ListControl list;
    AddColumns(list);
    Fill(list, records);
    std::intptr_t ascending = 0;
    for (auto _ : state) {
        list.SortItems(BySize, ascending);
        ascending = 1 - ascending;
    }
}
BENCHMARK(BM_SortRows)->Unit(benchmark::kMillisecond);

}  // namespace
