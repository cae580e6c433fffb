#include "filecrawler/CrawlerImporterParserInterface.h"

CrawlerImporterParserInterface::~CrawlerImporterParserInterface() = default;
