// Where a path leads on Linux, found as the kernel finds it but one
// component at a time from an open folder (openat with O_PATH | O_NOFOLLOW),
// so that every symbolic link on the way is checked before it is followed
// and this process's own descriptors (/dev/stdout, /dev/fd/N,
// /proc/self/fd/N) are known for what they are. What was checked is what the
// writer then uses: the last component's folder stays open. Decides nothing
// about writing; posix_file_writer.cpp does.
#pragma once

#include <sys/stat.h>

#include <string>

namespace FileWriterOs {

struct PathEnd {
  enum class Kind {
    Missing,     // nothing at the last component
    Present,     // something that is not a symbolic link (st says what)
    Descriptor,  // a name of one of this process's open descriptors
    Failed,      // a folder on the way is missing or closed, a link refused, ...
  };
  Kind kind = Kind::Failed;
  int folder = -1;   // Missing, Present: the last component's folder (O_PATH); the caller closes it
  std::string name;  // Missing, Present: the last component, a plain name in folder
  struct stat st {};  // Present
  int descriptor = -1;  // Descriptor
  std::string reason;   // Failed: why (a refused link is named)
};

// Links are followed (40 at most, as the kernel allows) unless one lies in a
// folder that everyone may write to and that has the sticky bit (/tmp) and
// belongs neither to this process's user nor to the folder's owner: the rule
// of the kernel's fs.protected_symlinks, applied to every component whether
// or not the system enables it. A last component that a link leads to and
// that is missing fails ("Symbolic link to a missing file").
PathEnd WalkPath(const std::string& path);

}  // namespace FileWriterOs
