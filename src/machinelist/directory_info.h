#pragma once
// The directory information "$$UPLDir.tmp" that the link libraries write: a 2-byte
// big-endian design count, then name records (a length byte L and L bytes of name, no
// terminator) up to the end of the file. A record's 1-based position is its design number.
// Also the orders of the machine design list and of the delete list. Win32-free.
#include <stddef.h>
#include <stdint.h>

#include "link/design_entry.h"

enum : size_t {
    DIRECTORY_HEADER_SIZE = 2,      // the design count in front of the name records
    DIRECTORY_NAME_MAX = 255,       // a length byte names at most 255 bytes
    DESIGN_LIST_TEXT_SIZE = 261,    // list text of one design: 260 characters and the terminator
    DESIGN_NUMBER_MAX = 255,        // a design number travels in one byte
};

// The file's name beside the host executable: the directory upload and Check Files have
// the link library write it, the list and Check Files read and delete it.
constexpr char DIRECTORY_FILE[] = "$$UPLDir.tmp";
// The link caption of every directory upload.
constexpr char DIRECTORY_UPLOAD_CAPTION[] = "Design List";

// The stored design count of the header: first byte × 256 + second byte. False (count
// untouched) when fewer than 2 bytes are given. Nothing else of the data is looked at.
bool ReadDirectoryCount(const unsigned char *data, size_t size, unsigned *count);

// Walks the name records. `records` are the file's bytes after its header (size − 2 bytes);
// records are taken while the bytes consumed (L + 1 per record) are fewer than that size.
// The header count is not consulted: the records alone make the list.
struct DirectoryReader {
    const unsigned char *records;
    size_t size;
    size_t consumed;
    unsigned number;   // design number of the record returned last
};

void DirectoryReaderBegin(DirectoryReader *reader, const unsigned char *records, size_t size);
// Copies the next name into `name` with a terminator and sets `number` to its 1-based design
// number (the list keeps number & 0xFFFF); false when no record is left. L = 0 gives "".
// A name is copied as it is; a zero byte inside it ends the text that the list shows.
// A last record whose length runs past the end of the data keeps the bytes that are there:
// the machine still holds that design under this number, so it stays receivable and
// deletable under a shortened name rather than vanishing. Never reads past `size`.
bool DirectoryReaderNext(DirectoryReader *reader, char name[DIRECTORY_NAME_MAX + 1], unsigned *number);

// Sort snapshot: one list item while the design list is re-sorted.
struct DesignSortRecord {
    char name[DESIGN_LIST_TEXT_SIZE];  // item text
    int32_t index;                     // item index before sorting
    int32_t image;                     // image index
    uint32_t itemData;                 // design number (low 16 bits) and last seen check state
    uint32_t checked;                  // 0 unticked, 1 ticked
    uint32_t selected;                 // the item's LVIS_SELECTED bit as read
};

// qsort comparator of two DesignSortRecord: their names in byte-value order, as strcmp
// compares them: the bytes taken unsigned, case counts ("Zed.ptn" < "apple.vbd",
// "A10.vbd" < "A9.vbd"). Returns -1, 0 or +1.
int CompareDesignNames(const void *a, const void *b);

// Sorts snapshots by name in byte-value order. Equal names keep their order before sorting
// (ties are broken on `index`), so the list looks the same after every reload. Sorts in
// place, allocating nothing.
void SortDesignSnapshots(DesignSortRecord *records, size_t count);

// qsort comparator of two design entries for the delete list: highest design number first
// (second entry's number minus first entry's number, both taken as unsigned bytes).
int CompareDesignNumbersDescending(const void *a, const void *b);

// Orders the first `count` entries of a delete list with CompareDesignNumbersDescending; the
// closing entry after them is not touched.
void SortDeleteList(DesignEntry *entries, size_t count);
