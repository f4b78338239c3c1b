// halvorix-copy-bench SRC DST [--to-card]: copies SRC's contents into DST through the same engine
// and steps as "Start Copying" (flush included) and prints files, bytes and seconds. Without
// --to-card it is the card-to-computer run with SRC as the card's root; with it, SRC's top-level
// entries are the transfer list's rows and DST the card's From_PC folder. --temporary-names and
// --one-file-at-a-time take the engine's other ways, for comparison.
#include "BenchSupport.h"
#include "copy/CopyRun.h"
#include "platform/PosixFileSystem.h"

#include <QDir>
#include <cstdio>

using namespace halvorix;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: halvorix-copy-bench SRC DST [--to-card]\n");
        return 2;
    }
    const QString source = QDir(QString::fromLocal8Bit(argv[1])).absolutePath() + QLatin1Char('/');
    const QString destination = QDir(QString::fromLocal8Bit(argv[2])).absolutePath() + QLatin1Char('/');
    bool toCard = false, temporaryNames = false, oneAtATime = false;
    for (int i = 3; i < argc; ++i) {
        toCard |= QByteArray(argv[i]) == "--to-card";
        temporaryNames |= QByteArray(argv[i]) == "--temporary-names"; // the FAT card's way
        oneAtATime |= QByteArray(argv[i]) == "--one-file-at-a-time";
    }

    PosixFileSystem fs;
    DirectSteps steps;
    CopySession session;
    session.followLinks = toCard;
    session.unnamedFiles = !temporaryNames;
    if (oneAtATime)
        session.filesInFlight = 1;
    const auto start = std::chrono::steady_clock::now();
    if (toCard) {
        std::vector<TransferItem> rows;
        const QDir top(source);
        for (const QFileInfo &entry :
            top.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
            rows.push_back(entry.isDir()
                    ? TransferItem{entry.absoluteFilePath() + QLatin1Char('/'), markerIsFolder()}
                    : TransferItem{entry.absoluteFilePath(), markerIsFile()});
        copyRowsToCard(fs, rows, destination, session, steps);
    } else {
        copyCardToResults(fs, source, destination, session, steps);
    }
    const double seconds = bench::secondsSince(start);

    std::printf("files %lld bytes %lld seconds %.3f failures %zu\n",
        static_cast<long long>(session.filesCopied.load()), static_cast<long long>(session.bytesDone.load()),
        seconds, session.failureCount());
    return session.failureCount() == 0 ? 0 : 1;
}
