// halvorix-list-bench N: appends N generated rows of realistic paths to the transfer list model
// with a report view attached, half in batches (as walks and drops add) and half row by row (as
// the dialog adds), and prints the seconds taken and the memory the model holds beyond the text.
#include "BenchSupport.h"
#include "transferlist/TransferListModel.h"

#include <QApplication>
#include <QTreeView>
#include <cstdio>

using namespace halvorix;

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: halvorix-list-bench N\n");
        return 2;
    }
    const long count = std::atol(argv[1]);
    // The rows a walk of a photo collection would make: the text is built before timing starts.
    std::vector<TransferItem> rows;
    rows.reserve(static_cast<size_t>(count));
    qint64 textBytes = 0;
    for (long i = 0; i < count; ++i) {
        QString path = QStringLiteral("/home/alice/Pictures/%1/%2-%3 holiday/IMG_%4.JPG")
                           .arg(2000 + i % 25)
                           .arg(1 + (i / 500) % 12, 2, 10, QLatin1Char('0'))
                           .arg(i / 1000)
                           .arg(i % 10000, 4, 10, QLatin1Char('0'));
        textBytes += 2 * path.size() + 24; // UTF-16 characters and the string header
        rows.push_back(TransferItem{std::move(path), markerIsFile()});
    }
    const qint64 before = bench::residentBytes();
    TransferListModel model;
    model.addColumn(QStringLiteral(" Source"));
    model.addColumn(QString());
    // The list as the window shows it: a report view over the model.
    QTreeView view;
    view.setUniformRowHeights(true);
    view.setRootIsDecorated(false);
    view.setModel(&model);
    view.resize(500, 200);

    // Walks and drops append a batch each; the dialog appends row by row. Half of each.
    const auto start = std::chrono::steady_clock::now();
    const size_t half = rows.size() / 2;
    constexpr size_t kBatch = 10000;
    for (size_t from = 0; from < half; from += kBatch) {
        std::vector<TransferItem> batch(std::make_move_iterator(rows.begin() + long(from)),
            std::make_move_iterator(rows.begin() + long(std::min(from + kBatch, half))));
        model.appendBatch(std::move(batch));
    }
    const double batchSeconds = bench::secondsSince(start);
    for (size_t i = half; i < rows.size(); ++i)
        model.append(std::move(rows[i]));
    const double seconds = bench::secondsSince(start);
    std::vector<TransferItem>().swap(rows);
    const size_t itemBytes = model.items().capacity() * sizeof(TransferItem);
    const qint64 modelBytes = qint64(itemBytes);
    std::printf("batched-half-seconds %.3f\n", batchSeconds);
    std::printf("rows %d seconds %.3f model-bytes-beyond-text %lld (%.1f MB) resident-growth %.1f MB "
                "path-text %.1f MB\n",
        model.count(), seconds, static_cast<long long>(modelBytes), double(modelBytes) / 1e6,
        double(bench::residentBytes() - before) / 1e6, double(textBytes) / 1e6);
    return 0;
}
