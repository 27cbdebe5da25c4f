// File functions of the utility library, over the platform layer. Paths are UTF-8.
#ifndef NAVCONFIG_DOROUTIL_FILES_H
#define NAVCONFIG_DOROUTIL_FILES_H

#include <doroutil/listmgr.h>
#include <doroutil/orostring.h>

#include <cstdio>

bool FileExists(const char* path);       // a regular file
bool FileDoesDirExist(const char* path);  // a directory; false for an empty path
bool FileCreateDir(const char* path);     // one level; true when the folder exists afterwards
// Removes a file: 0 when it was removed, non-zero when it did not exist or could not be removed.
int FileErase(const char* path);
// True when dir is an existing directory and every name of the list is a regular file in it.
bool AreFilesInDir(const char* dir, const ListMgr<OROustring>& names);

// Appends, in byte-wise order, the names of the regular files in dir whose extension (after the last dot)
// equals ext without regard to case. Returns the number appended.
long FileList(ListMgr<OROustring>& list, const char* dir, const char* ext);
// Long form; mode 2 appends the names of dir's sub-folders (byte-wise order, without "." and ".."), any
// other mode the names of its files that match the extension given as filter (all files for an empty one).
// Names found in exclude (when given) are left out.
long FileList(ListMgr<OROustring>& list, const char* dir, const char* pattern, const char* filter,
              const ListMgr<OROustring>* exclude, int mode);

// Reads a whole file into a new buffer freed with Mem_Free (NUL-terminated for convenience). Returns its
// size; *buffer is null when the file could not be read.
long LoadFile(const char* path, char** buffer);

// Stream files, for reading line by line and writing.
struct FileHandle;
FileHandle* FileOpen(const char* path, const char* mode);
// The next line without its line end, at most size-1 bytes of it (the rest of a longer line is skipped);
// null at the end of the file. A line of more than 64 KiB past what the buffer takes is no text: the file ends
// there.
char* FileReadNextLine(FileHandle* file, char* buffer, int size);
long FileWrite(FileHandle* file, const void* data, long size);
void FileClose(FileHandle* file);

#endif
