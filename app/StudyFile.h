#pragma once

#include <list>
#include <string>

namespace cli {

// The crawled file that `output` is, or an empty text: the path (relative to
// `root`, as the crawl lists it) of the file that writing `output` would
// replace. Files are told apart by device and inode, through links, so any
// spelling of the path is found; only crawled files with the output's name
// (as given, or of the file a link leads to) are looked at.
std::string crawledFileAt(std::string const& output, std::string const& root,
                          std::list<std::string> const& files);

} // namespace cli
