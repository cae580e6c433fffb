// filecrawler: sorts the files of a parameter study into cases by the
// metadata values in their paths. See README.md or `filecrawler --help`.
#include "HeapTuning.h"
#include "Program.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    cli::tuneHeap();
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName("filecrawler");
    QCoreApplication::setApplicationVersion(BRIM_FILECRAWLER_VERSION);

    // The arguments as bytes: Latin-1 maps each byte to one character and back.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLatin1(argv[i]);
    return cli::runProgram(arguments);
}
