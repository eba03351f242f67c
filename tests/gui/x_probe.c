/* The GUI tests' eyes: screenshots of the X server's root window and the few
 * questions the tests ask of them, in one small program rather than ImageMagick's
 * import and convert, which take seconds a call in the emulated machine.
 *   x_probe shot WxH+X+Y FILE            the root window's rectangle as an RGB PNG
 *   x_probe region FILE WxH+X+Y minima|maxima
 *                                        the least or greatest grey level in the
 *                                        rectangle, 0 black to 1 white (Rec. 709 luma)
 *   x_probe darkest FILE WxH+X+Y         each channel's least value, "r,g,b" (of a
 *                                        1x1 rectangle: the pixel's colour)
 *   x_probe differ FILE FILE [WxH+X+Y]   how many pixels differ, those inside the
 *                                        rectangle left out
 * It reads only the PNG files it writes (8-bit RGB, not interlaced); a
 * rectangle must lie inside the picture. Exit status 0, or 2 with one line on
 * standard error. */
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <zlib.h>

/* Rows of RGB bytes each preceded by a 0 (PNG's filter type "none"): the form
 * deflated into a PNG file, as it is. */
typedef struct {
    unsigned width, height;
    unsigned char* rows; /* height * Row(width) bytes */
} Picture;

typedef struct {
    unsigned x, y, width, height;
} Rectangle;

static int Fail(const char* what, const char* detail) {
    fprintf(stderr, "x_probe: %s%s%s\n", what, detail ? ": " : "", detail ? detail : "");
    return 2;
}

static void PutBig32(unsigned char* at, uint32_t value) {
    at[0] = (unsigned char)(value >> 24);
    at[1] = (unsigned char)(value >> 16);
    at[2] = (unsigned char)(value >> 8);
    at[3] = (unsigned char)value;
}

static uint32_t Big32(const unsigned char* at) {
    return (uint32_t)at[0] << 24 | (uint32_t)at[1] << 16 | (uint32_t)at[2] << 8 | at[3];
}

static size_t Row(unsigned width) {
    return (size_t)width * 3 + 1;
}

static int WriteChunk(FILE* file, const char* type, const unsigned char* data, uint32_t length) {
    unsigned char header[8], trailer[4];
    PutBig32(header, length);
    memcpy(header + 4, type, 4);
    PutBig32(trailer, (uint32_t)crc32(crc32(0, header + 4, 4), data, length));
    return fwrite(header, 1, 8, file) == 8 && fwrite(data, 1, length, file) == length &&
           fwrite(trailer, 1, 4, file) == 4;
}

static int WritePng(const char* path, const Picture* picture) {
    const size_t raw_size = Row(picture->width) * picture->height;
    uLongf packed_size = compressBound(raw_size);
    unsigned char* packed = malloc(packed_size);
    int ok = packed != NULL && compress2(packed, &packed_size, picture->rows, raw_size, 1) == Z_OK;
    FILE* file = ok ? fopen(path, "wb") : NULL;
    if (file != NULL) {
        static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
        unsigned char header[13] = {0};
        PutBig32(header, picture->width);
        PutBig32(header + 4, picture->height);
        header[8] = 8; /* bits per channel */
        header[9] = 2; /* RGB */
        ok = fwrite(signature, 1, 8, file) == 8 && WriteChunk(file, "IHDR", header, 13) &&
             WriteChunk(file, "IDAT", packed, (uint32_t)packed_size) &&
             WriteChunk(file, "IEND", (const unsigned char*)"", 0); /* crc32 of NULL is 0 */
        ok = fclose(file) == 0 && ok;
    } else {
        ok = 0;
    }
    free(packed);
    return ok;
}

/* Only the form WritePng makes: the IHDR chunk, then one IDAT chunk of rows each
 * preceded by filter type 0. */
static int ReadPng(const char* path, Picture* picture) {
    FILE* file = fopen(path, "rb");
    long size = file != NULL && fseek(file, 0, SEEK_END) == 0 ? ftell(file) : -1;
    unsigned char* bytes = size >= 41 ? malloc((size_t)size) : NULL;
    int ok = bytes != NULL && fseek(file, 0, SEEK_SET) == 0 &&
             fread(bytes, 1, (size_t)size, file) == (size_t)size &&
             memcmp(bytes + 12, "IHDR", 4) == 0 && bytes[24] == 8 && bytes[25] == 2 &&
             bytes[28] == 0 && memcmp(bytes + 37, "IDAT", 4) == 0 &&
             Big32(bytes + 33) <= (size_t)size - 41;
    if (file != NULL) {
        fclose(file);
    }
    picture->width = ok ? Big32(bytes + 16) : 0;
    picture->height = ok ? Big32(bytes + 20) : 0;
    ok = ok && picture->width > 0 && picture->height > 0 && picture->width <= 16384 &&
         picture->height <= 16384;
    uLongf raw_size = Row(picture->width) * picture->height;
    picture->rows = ok ? malloc(raw_size) : NULL;
    ok = picture->rows != NULL &&
         uncompress(picture->rows, &raw_size, bytes + 41, Big32(bytes + 33)) == Z_OK &&
         raw_size == Row(picture->width) * picture->height;
    for (unsigned y = 0; ok && y < picture->height; ++y) {
        ok = picture->rows[Row(picture->width) * y] == 0;
    }
    free(bytes);
    return ok;
}

static int Shot(const Rectangle* r, const char* path) {
    const unsigned width = r->width, height = r->height;
    Display* display = XOpenDisplay(NULL);
    if (display == NULL) {
        return Fail("no X display", NULL);
    }
    XImage* image = XGetImage(display, DefaultRootWindow(display), (int)r->x, (int)r->y, width,
                              height, AllPlanes, ZPixmap);
    if (image == NULL) {
        XCloseDisplay(display);
        return Fail("the rectangle is not on the screen", NULL);
    }
    Picture picture = {width, height, calloc(height, Row(width))};
    const unsigned long masks[3] = {image->red_mask, image->green_mask, image->blue_mask};
    int ok = picture.rows != NULL && masks[0] != 0 && masks[1] != 0 && masks[2] != 0;
    for (unsigned row = 0; ok && row < height; ++row) {
        for (unsigned column = 0; column < width; ++column) {
            const unsigned long value = XGetPixel(image, (int)column, (int)row);
            unsigned char* out = picture.rows + Row(width) * row + 1 + (size_t)column * 3;
            for (int c = 0; c < 3; ++c) {
                out[c] = (unsigned char)((value & masks[c]) >> __builtin_ctzl(masks[c]));
            }
        }
    }
    XDestroyImage(image);
    XCloseDisplay(display);
    ok = ok && WritePng(path, &picture);
    free(picture.rows);
    return ok ? 0 : Fail("cannot write", path);
}

/* "WxH+X+Y", wholly inside the picture. */
static int ParseRectangle(const char* text, const Picture* picture, Rectangle* r) {
    char tail;
    if (sscanf(text, "%ux%u+%u+%u%c", &r->width, &r->height, &r->x, &r->y, &tail) != 4) {
        return 0;
    }
    return r->width > 0 && r->height > 0 && r->x < picture->width && r->y < picture->height &&
           r->width <= picture->width - r->x && r->height <= picture->height - r->y;
}

static const unsigned char* At(const Picture* picture, unsigned x, unsigned y) {
    return picture->rows + Row(picture->width) * y + 1 + (size_t)x * 3;
}

static unsigned Grey(const unsigned char* p) {
    return (2126u * p[0] + 7152u * p[1] + 722u * p[2] + 5000u) / 10000u;
}

static int Inside(const Rectangle* r, unsigned x, unsigned y) {
    return x >= r->x && x - r->x < r->width && y >= r->y && y - r->y < r->height;
}

int main(int argc, char** argv) {
    Picture picture = {65536, 65536, NULL}; /* the screen's bounds, before a file is read */
    Rectangle r;
    if (argc == 4 && strcmp(argv[1], "shot") == 0) {
        return ParseRectangle(argv[2], &picture, &r) ? Shot(&r, argv[3])
                                                     : Fail("not a rectangle", argv[2]);
    }
    if (argc < 3 || !ReadPng(argv[2], &picture)) {
        return Fail(argc < 3 ? "usage: x_probe shot|region|darkest|differ ..."
                             : "not a picture of mine",
                    argc < 3 ? NULL : argv[2]);
    }
    int status = 0;
    if ((argc == 4 || argc == 5) && strcmp(argv[1], "differ") != 0 &&
        ParseRectangle(argv[3], &picture, &r)) {
        /* The least and greatest grey level, and each channel's least value. */
        unsigned least = 255, greatest = 0;
        unsigned char darkest[3] = {255, 255, 255};
        for (unsigned y = r.y; y < r.y + r.height; ++y) {
            for (unsigned x = r.x; x < r.x + r.width; ++x) {
                const unsigned char* p = At(&picture, x, y);
                const unsigned grey = Grey(p);
                least = grey < least ? grey : least;
                greatest = grey > greatest ? grey : greatest;
                for (int c = 0; c < 3; ++c) {
                    darkest[c] = p[c] < darkest[c] ? p[c] : darkest[c];
                }
            }
        }
        if (argc == 4 && strcmp(argv[1], "darkest") == 0) {
            printf("%u,%u,%u\n", darkest[0], darkest[1], darkest[2]);
        } else if (argc == 5 && strcmp(argv[1], "region") == 0 && strcmp(argv[4], "minima") == 0) {
            printf("%g\n", least / 255.0);
        } else if (argc == 5 && strcmp(argv[1], "region") == 0 && strcmp(argv[4], "maxima") == 0) {
            printf("%g\n", greatest / 255.0);
        } else {
            status = Fail("a question I do not know", argv[1]);
        }
    } else if ((argc == 4 || argc == 5) && strcmp(argv[1], "differ") == 0) {
        Picture other = {0, 0, NULL};
        Rectangle masked = {0, 0, 0, 0};
        if (!ReadPng(argv[3], &other) || other.width != picture.width ||
            other.height != picture.height) {
            status = Fail("not a picture of mine of the same size", argv[3]);
        } else if (argc == 5 && !ParseRectangle(argv[4], &picture, &masked)) {
            status = Fail("the rectangle is not inside the picture", argv[4]);
        } else {
            unsigned long differing = 0;
            for (unsigned y = 0; y < picture.height; ++y) {
                for (unsigned x = 0; x < picture.width; ++x) {
                    differing += !Inside(&masked, x, y) &&
                                 memcmp(At(&picture, x, y), At(&other, x, y), 3) != 0;
                }
            }
            printf("%lu\n", differing);
        }
        free(other.rows);
    } else {
        status = Fail("a question I do not know, or a rectangle not inside the picture", argv[1]);
    }
    free(picture.rows);
    return status;
}
