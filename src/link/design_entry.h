/*
 * design_entry.h - the design entry, the 263-byte record in which a design travels to a
 * link library. Plain C and free of <windows.h>, so that the Win32-free list builders and
 * their native tests share the very type that vemblink.h hands to the libraries.
 */
#ifndef VEMB_DESIGN_ENTRY_H
#define VEMB_DESIGN_ENTRY_H

#ifdef __cplusplus
extern "C" {
#endif

#define VEMB_NAME_FIELD 261   /* 260 characters and the terminator */

#pragma pack(push, 1)
typedef struct DesignEntry {
    char name[VEMB_NAME_FIELD]; /* file name or full path, zero-terminated */
    unsigned char location;     /* location code */
    unsigned char number;       /* 1-based design number; 0 when sending */
} DesignEntry;
#pragma pack(pop)

#ifdef __cplusplus
static_assert(sizeof(DesignEntry) == 263, "a design entry is 263 packed bytes");
#else
typedef char vemb_design_entry_size_check[sizeof(DesignEntry) == 263 ? 1 : -1];
#endif

#ifdef __cplusplus
}
#endif

#endif /* VEMB_DESIGN_ENTRY_H */
