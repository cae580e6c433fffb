#pragma once

#include "host/Export.h"

#include <cstddef>
#include <string>

// One file that may be an auxiliary file of a case.
class BRIM_HOST_EXPORT AuxFileInfoInterface {
public:
    // The host's classification of a file, by its file-name extension.
    enum Type {
        Unknown = 0,
        Mesh,     // .msh .mesh .stl .obj .ply .cgns .unv .inp .grid
        Solution, // .vtk .vtu .vtp .vts .vtr .vti .vtm .pvd .pvtu .h5 .hdf5 .cas .dat .plt .foam
        Image,    // .png .jpg .jpeg .gif .bmp .tif .tiff .svg
        Table,    // .csv .tsv .xls .xlsx .vtt
        Text,     // .txt .log .md .json .xml .yaml .yml .ini .cfg
    };

    virtual ~AuxFileInfoInterface();
    virtual std::string filePath() const = 0;
    virtual bool isIdentified() const = 0;
    virtual void setCaseIndex(std::size_t index) = 0;
    virtual std::size_t caseIndex() const = 0;
    virtual std::string description() const = 0;
    virtual Type type() const = 0;
};

// Classifies a path by the extension of its last component, compared without
// regard to ASCII case; anything else is Unknown.
BRIM_HOST_EXPORT AuxFileInfoInterface::Type auxFileType(std::string const& path);

// A short lower-case name for a type ("mesh", "solution", ..., "unknown").
BRIM_HOST_EXPORT char const* auxFileTypeName(AuxFileInfoInterface::Type type);
