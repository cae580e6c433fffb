// Out-of-line destructors of the host's pure interfaces, so that their
// virtual tables live in the host library.
#include "host/AuxFileCollectionInterface.h"
#include "host/FileInfoInterface.h"
#include "host/ImportLoadContextInterface.h"
#include "host/ImporterInterface.h"

AuxFileCollectionInterface::~AuxFileCollectionInterface() = default;

FileInfoInterface::~FileInfoInterface() = default;

ImportLoadContextInterface::~ImportLoadContextInterface() = default;

ImporterInterface::~ImporterInterface() = default;
