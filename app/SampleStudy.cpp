#include "SampleStudy.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace cli {

std::string sampleStudyPath()
{
    QString const installed = QCoreApplication::applicationDirPath() + "/" + BRIM_SAMPLE_STUDY_FROM_BINDIR;
    if (QFileInfo(installed).isDir())
        return QFile::encodeName(QDir::cleanPath(installed)).toStdString();
    return BRIM_SAMPLE_STUDY_SOURCE;
}

std::vector<MetadataPattern> sampleStudyPatterns()
{
    return {MetadataPattern("Re=", MetadataPattern::Numeric),
            MetadataPattern("Mach=", MetadataPattern::Numeric),
            MetadataPattern("model=", MetadataPattern::String)};
}

std::vector<AuxFileIdentifier> sampleStudyIdentifiers()
{
    return {AuxFileIdentifier{"*.msh", "mesh"}, AuxFileIdentifier{"solution_*.vtu", "solution"},
            AuxFileIdentifier{"log.txt", "log"}, AuxFileIdentifier{"*.png", "image"},
            AuxFileIdentifier{"params.json", "params"}};
}

} // namespace cli
