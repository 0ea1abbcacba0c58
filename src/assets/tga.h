#pragma once
// TGA reading shared by the texture and image decoders: header checks, the TXID block, the
// colour map, run-length expansion and the conversion of one file row to red, green, blue,
// alpha bytes (or to colour-map indices and alpha). Internal to the assets module.
#include <cstddef>
#include <cstdint>

struct TgaFile {
  const uint8_t* bytes;
  size_t length;
  uint32_t id_length, cmap_type, image_type, cmap_first, cmap_length, cmap_bits;
  uint32_t width, height, depth, descriptor;
  uint32_t source_bytes;  // bytes per file pixel
  size_t pixel_offset;    // where the pixel data starts
  // TXID parameters (defaults when the block is absent)
  uint32_t wrap, filter, param1, param2, param3, texture_class;
  uint32_t color_key, key_red, key_green, key_blue;
  // Colour map: table_size slots of 0xRRGGBBAA, valid indices cmap_first .. table_size - 1.
  uint32_t table[256];
  uint32_t table_size;
};

// Header check only (enough for image type 0). 0 on rejection.
int tga_read_header(const uint8_t* bytes, size_t length, TgaFile* file);
// The remaining checks of a file with pixels: sizes, source pixel size, TXID. 0 on rejection.
int tga_read_layout(TgaFile* file);
int tga_colour_mapped(const TgaFile* file);
// Fills the colour-map table. 0 when the file has no usable map.
int tga_read_colour_map(TgaFile* file);
// Entries from the first index up whose colour is the key's.
int tga_find_key(const TgaFile* file);
void tga_clear_key_entries(TgaFile* file);
// Checks that the pixel data can be there before anything is allocated; 0 when it cannot.
int tga_pixels_plausible(const TgaFile* file);
// The file's pixels in file order, width x height x source_bytes bytes: in place for raw
// files, expanded into *owned (mem_alloc, caller frees) for run-length files. Null on a
// short or overrunning stream.
const uint8_t* tga_pixels(const TgaFile* file, uint8_t** owned);
// One file row to red, green, blue, alpha bytes; 0 when a colour-map index is out of range.
int tga_row_rgba(const TgaFile* file, const uint8_t* source, uint8_t* rgba);
// One file row of a colour-mapped file to indices and alphas; 0 on an index out of range.
int tga_row_indices(const TgaFile* file, const uint8_t* source, uint8_t* index, uint8_t* alpha);
