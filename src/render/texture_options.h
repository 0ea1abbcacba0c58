#pragma once
// Texture preparation options, set once before the loader thread starts.
void texture_options_set(int low_detail, int mipmaps, int anisotropic, int trilinear);
