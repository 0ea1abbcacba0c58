#include "render/texture_options.h"

static TextureOptions g_options = {0, 1, 1, 1};

void texture_options_set(int low_detail, int mipmaps, int anisotropic, int trilinear) {
  g_options = TextureOptions{low_detail, mipmaps, anisotropic, trilinear};
}

TextureOptions texture_options(void) { return g_options; }

int texture_trilinear(void) { return g_options.trilinear; }
