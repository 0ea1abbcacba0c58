#pragma once
// The four texture settings that texture preparation and the backends' filtering read. They
// are set once, before the loader thread starts, and only read afterwards (from the loader
// and the main thread alike), so they need no lock. Until set: mipmaps, anisotropy and
// trilinear filtering on, low detail off.
struct TextureOptions {
  int low_detail, mipmaps, anisotropic, trilinear;
};

void texture_options_set(int low_detail, int mipmaps, int anisotropic, int trilinear);
TextureOptions texture_options(void);
int texture_trilinear(void);
