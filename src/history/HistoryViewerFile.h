#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace velorin {

class Files;

// What the history screens read of the documents directory: names and chunk text.
namespace historyfile {

// The most text handed to a chart page. A chunk of 30 seconds is about 15 kB and an event file of
// three chunks about 45 kB; 1 MiB (over half an hour of samples) keeps a stray huge file from
// stalling the page, which then shows the beginning of it.
inline constexpr std::size_t maxChunkText = std::size_t{1} << 20;

// The file's text, at most maxChunkText bytes, cut back to the last whole value when cut. Anything
// that cannot be read (missing, a directory, a link, a FIFO) gives what was read so far, often
// nothing, and sets problem.
std::string readChunkText(Files& files, const std::string& path, std::string& problem,
                          std::size_t maxBytes = maxChunkText);

// The name less its last extension: "2015-03-07_142530.ecg" gives "2015-03-07_142530"; a name
// without one, or one that begins with its only dot, stays as it is.
std::string withoutExtension(const std::string& name);

// The recording files (".ecg") of the directory, newest name first; none when it cannot be listed.
// A directory reached through a symbolic link is listed.
std::vector<std::string> recordingNames(Files& files, const std::string& directory);

std::string join(const std::string& directory, const std::string& name);

} // namespace historyfile
} // namespace velorin
