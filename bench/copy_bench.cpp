// halvorix-copy-bench SRC DST [--to-card] [--no-verify] [--temporary-names] [--one-file-at-a-time]
//                     [--curve] [--device-counter FILE] [--close-after S]:
// copies SRC's contents into DST through the same engine and steps as "Start Copying" (flush
// and read-back of every copy included; --no-verify leaves the read-back out, as the program's
// option does) and prints files, bytes and seconds. Without --to-card it is the card-to-computer run
// with SRC as the card's root; with it, SRC's top-level entries are the transfer list's rows and
// DST the card's From_PC folder. --temporary-names and --one-file-at-a-time take the engine's
// other ways, for comparison.
//
// --curve prints, every 0.25 s, what the window's bar would show: "seconds bar% bytes-done", and
// with --device-counter (a slow medium's control file, bench/slowmedium) the bytes that reached
// the device since the start. --close-after abandons the run at that moment, as a close request
// does, and prints how long the copy then took to stop.
#include "BenchSupport.h"
#include "copy/CopyRun.h"
#include "platform/posix/Machine.h"

#include <QDir>
#include <QFile>
#include <atomic>
#include <cstdio>
#include <thread>

using namespace halvorix;

namespace {

// The bytes a slow medium's daemon has written to its store ("written N" in its control file).
qint64 deviceBytes(const QString &counter)
{
    QFile control(counter);
    if (counter.isEmpty() || !control.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return -1;
    for (const QByteArray &line : control.readAll().split('\n'))
        if (line.startsWith("written "))
            return line.mid(8).toLongLong();
    return -1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr,
            "usage: halvorix-copy-bench SRC DST [--to-card] [--no-verify] [--temporary-names] "
            "[--one-file-at-a-time] [--curve] [--device-counter FILE] [--close-after SECONDS]\n");
        return 2;
    }
    const QString source = QDir(QString::fromLocal8Bit(argv[1])).absolutePath() + QLatin1Char('/');
    const QString destination = QDir(QString::fromLocal8Bit(argv[2])).absolutePath() + QLatin1Char('/');
    bool toCard = false, temporaryNames = false, oneAtATime = false, curve = false, verify = true;
    QString counter;
    double closeAfter = -1;
    for (int i = 3; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        toCard |= arg == "--to-card";
        temporaryNames |= arg == "--temporary-names"; // the FAT card's way
        oneAtATime |= arg == "--one-file-at-a-time";
        curve |= arg == "--curve";
        verify &= arg != "--no-verify"; // as the program started with --no-verify
        if (arg == "--device-counter" && i + 1 < argc)
            counter = QString::fromLocal8Bit(argv[++i]);
        if (arg == "--close-after" && i + 1 < argc)
            closeAfter = QByteArray(argv[++i]).toDouble();
    }

    Machine fs;
    DirectSteps steps;
    CopySession session;
    session.options.followLinks = toCard;
    session.options.toCard = toCard;
    session.options.verify = verify;
    session.options.unnamedFiles = !temporaryNames;
    if (oneAtATime)
        session.options.filesInFlight = 1;
    const qint64 deviceAtStart = deviceBytes(counter);
    const auto start = std::chrono::steady_clock::now();
    std::atomic<bool> finished{false};
    std::thread sampler;
    if (curve || closeAfter >= 0)
        sampler = std::thread([&] {
            for (int tick = 1; !finished; ++tick) {
                std::this_thread::sleep_until(start + std::chrono::milliseconds(250 * tick));
                const double seconds = bench::secondsSince(start);
                if (closeAfter >= 0 && seconds >= closeAfter && !session.isAbandoned()) {
                    session.abandon();
                    std::printf("# closed at %.2f s\n", seconds);
                }
                if (!curve)
                    continue;
                const qint64 total = session.progress.bytesTotal.load(),
                             done = std::min(session.progress.bytesDone.load(), total);
                std::printf("%.2f %.1f %lld", seconds, total > 0 ? 100.0 * double(done) / double(total) : 0.0,
                    static_cast<long long>(done));
                if (deviceAtStart >= 0)
                    std::printf(" %lld", static_cast<long long>(deviceBytes(counter) - deviceAtStart));
                std::printf("\n");
                std::fflush(stdout);
            }
        });
    bool abandoned = false;
    try {
        if (toCard) {
            std::vector<TransferItem> rows;
            const QDir top(source);
            for (const QFileInfo &entry :
                top.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
                rows.push_back(entry.isDir()
                        ? TransferItem{entry.absoluteFilePath() + QLatin1Char('/'), markerIsFolder()}
                        : TransferItem{entry.absoluteFilePath(), markerIsFile()});
            copyRowsToCard(fs, fs, rows, destination, session, steps);
        } else {
            copyCardToResults(fs, fs, source, destination, session, steps);
        }
    } catch (const CopyAbandoned &) {
        abandoned = true;
    }
    const double seconds = bench::secondsSince(start);
    finished = true;
    if (sampler.joinable())
        sampler.join();
    if (abandoned)
        std::printf("# the copy stopped %.2f s after the close\n", seconds - closeAfter);

    std::printf("files %lld bytes %lld seconds %.3f failures %zu\n",
        static_cast<long long>(session.progress.filesCopied.load()),
        static_cast<long long>(session.progress.bytesDone.load()), seconds, session.failureCount());
    if (deviceAtStart >= 0)
        std::printf(
            "# on the device: %lld bytes\n", static_cast<long long>(deviceBytes(counter) - deviceAtStart));
    return session.failureCount() == 0 && !abandoned ? 0 : 1;
}
