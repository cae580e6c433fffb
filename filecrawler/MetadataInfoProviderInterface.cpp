#include "filecrawler/MetadataInfoProviderInterface.h"

MetadataInfoProviderInterface::~MetadataInfoProviderInterface() = default;
