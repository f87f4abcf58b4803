/* Shared by the sample plug-ins: opening ./exports/<title><extension> for writing. */
#ifndef EXPORT_FILE_H
#define EXPORT_FILE_H

#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#define EXPORT_DIRECTORY "./exports"
#define EXPORT_NAME_MAX 100

/* A file name made from the snippet's title: separators and control characters become '_', a
 * leading dot too (no hidden files, no "..") and an empty title becomes "snippet". Long titles are
 * cut at a character boundary. */
static void export_file_name(const char* title, char* name, size_t size) {
    size_t length = 0;
    for (const unsigned char* p = (const unsigned char*)title; *p && length + 1 < size; ++p) {
        unsigned char c = *p;
        if (c == '/' || c < 0x20 || c == 0x7f || (length == 0 && c == '.'))
            c = '_';
        name[length++] = (char)c;
    }
    /* Never end inside a UTF-8 sequence. */
    if (length + 1 >= size) {
        while (length > 0 && ((unsigned char)name[length - 1] & 0xC0) == 0x80)
            --length;
        if (length > 0 && ((unsigned char)name[length - 1] & 0xC0) == 0xC0)
            --length;
    }
    name[length] = '\0';
    if (length == 0)
        snprintf(name, size, "snippet");
}

/* Opens ./exports/<title><extension> for writing, making the directory when needed; null when
 * that is impossible. */
static FILE* open_export_file(const char* title, const char* extension) {
    char name[EXPORT_NAME_MAX + 1];
    char path[sizeof(EXPORT_DIRECTORY) + EXPORT_NAME_MAX + 16];
    if (mkdir(EXPORT_DIRECTORY, 0777) != 0 && errno != EEXIST)
        return NULL;
    export_file_name(title, name, sizeof name);
    snprintf(path, sizeof path, "%s/%s%s", EXPORT_DIRECTORY, name, extension);
    return fopen(path, "w");
}

#endif
