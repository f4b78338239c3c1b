// halvorix-walk-bench TREE: fills the transfer list model from TREE through the same code as
// "Add All File(s) In Folder" in file mode (walk, listings, probes, rows) and prints rows and seconds.
#include "BenchSupport.h"
#include "platform/posix/Machine.h"
#include "platform/qt/PacedEvents.h"
#include "transferlist/Intake.h"
#include "transferlist/TransferListModel.h"

#include <cstdio>
#include <cstdlib>

using namespace halvorix;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: halvorix-walk-bench TREE\n");
        return 2;
    }
    Machine fs;
    PacedEvents ui; // the program's own yield: it costs what it costs there
    DirectSteps steps;
    TransferListModel model;
    const auto start = std::chrono::steady_clock::now();
    model.appendBatch(fileRowsForFolder(fs, ui, QString::fromLocal8Bit(argv[1]), steps));
    std::printf("rows %d seconds %.3f\n", model.count(), bench::secondsSince(start));
    // Ends as the program ends (QtUi::endProgram): at once, the list not taken apart row by row.
    std::fflush(stdout);
    std::_Exit(0);
}
