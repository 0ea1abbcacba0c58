// Skinned models: parts whose vertices each follow one bone, moved by a palette built once
// per draw and drawn in one or more texture passes.
#include <cstring>

#include "render/draw.h"
#include "render/render.h"
#include "scene/environment.h"
#include "scene/model_draw.h"
#include "scene/model_view.h"

namespace {

Mat4 g_palette[MODEL_PALETTE_MAX];

// The failed part's stand-in: the cube at the entity's transform, untextured.
void draw_cube_instead(EntityWorld* world, const SkinnedModelPayload* p, uint32_t mesh_id) {
  ModelPayload cube = {};
  cube.mesh_id = mesh_id;
  cube.position = p->position;
  cube.rotation = p->rotation;
  cube.scale = p->scale;
  cube.world_bounds = p->world_bounds;
  cube.inside = p->inside;
  cube.shade = p->shade;
  model_draw(world, &cube);
}

// Flags of a layer blended over the first: the base's cull and inside bits kept.
uint32_t layer_flags(uint32_t base) {
  return (DRAW_TEXTURE | DRAW_BLEND | DRAW_DEPTH_TEST | DRAW_NO_DEPTH_WRITE | DRAW_FOG) |
         (base & (DRAW_CULL | DRAW_NO_CLIP));
}

}  // namespace

void skin_transform_stage(DrawRecord* record) {
  DrawSource* s = record ? (DrawSource*)record->current_source : nullptr;
  const ModelLightBlock* block = record ? (const ModelLightBlock*)record->user_data : nullptr;
  if (!s || !s->vertices || !s->output || !block || !block->mesh || !block->palette) return;
  const Mesh* mesh = block->mesh;
  if (!mesh->skin || mesh->vertex_count != s->count) return;
  if (record->flags & DRAW_SCREEN_SPACE) {
    // Already in device coordinates, like every other transform stage treats them.
    for (uint32_t i = 0; i < s->count; i++) {
      s->output[i].x = s->vertices[i].x;
      s->output[i].y = s->vertices[i].y;
      s->output[i].z = s->vertices[i].z;
      s->output[i].w = 1.0f;
    }
    record->vertices = s->output;
    record->count = s->count;
    return;
  }
  for (uint32_t i = 0; i < s->count;) {
    uint32_t bone = mesh->skin[i].bones[0], end = i + 1;
    while (end < s->count && mesh->skin[end].bones[0] == bone) end++;
    draw_transform(&s->vertices[i], &s->output[i], end - i, &block->palette[bone]);
    i = end;
  }
  record->vertices = s->output;
  record->count = s->count;
}

void skinned_model_draw(EntityWorld* world, const void* payload) {
  const SkinnedModelPayload* p = (const SkinnedModelPayload*)payload;
  if (!p || !p->parts || !p->part_count || !p->bones || !p->bone_count || !model_view_ready(world)) return;
  int8_t sun[3];
  env_light_direction(sun);
  ModelLightBlock block;
  if (!model_light_block_init(&block, p->position, p->rotation, p->scale, p->shade, sun)) return;
  uint32_t bones = p->bone_count < MODEL_PALETTE_MAX ? p->bone_count : MODEL_PALETTE_MAX;
  if (render_transforms_vertices()) {
    memcpy(g_palette, p->bones, sizeof(Mat4) * bones);
  } else {
    // The CPU transform then gives clip space directly.
    const DrawRecord* r = draw_record();
    Mat4 model_view, all;
    mat4_multiply(&block.model, &r->view, &model_view);
    mat4_multiply(&model_view, &r->projection, &all);
    for (uint32_t i = 0; i < bones; i++) mat4_multiply(&p->bones[i], &all, &g_palette[i]);
  }
  block.bones = p->bones;
  block.palette = g_palette;
  const uint32_t base =
      DRAW_TEXTURE | DRAW_CULL | DRAW_DEPTH_TEST | DRAW_FOG | (p->inside ? DRAW_NO_CLIP : 0u);

  for (uint32_t k = 0; k < p->part_count; k++) {
    const SkinnedPart& part = p->parts[k];
    draw_reset();
    int ready, failed;
    const Mesh* mesh = model_mesh_lookup(part.mesh_id, &ready, &failed);
    if (!mesh) continue;
    if (failed) {
      draw_cube_instead(world, p, part.mesh_id);
      continue;
    }
    if (!(mesh->flags & MESH_SKIN) || !mesh->skin || mesh->bone_last >= bones) continue;
    block.mesh = mesh;
    draw_set_vertex_stage(skinned_light_stage);
    draw_set_transform_stage(skin_transform_stage);
    draw_set_model(&block.model);
    draw_set_flags(base);
    const DrawMesh prepared = {(int32_t)mesh->id, mesh->vertices, mesh->vertex_count};
    draw_prepared_mesh(&prepared, &block);
    draw_set_blend(BLEND_ALPHA);
    draw_set_depth_function(DEPTH_LESS);
    const uint32_t n = mesh->triangle_count * 3;
    const int32_t t1 = (int32_t)part.texture1, t2 = (int32_t)part.texture2, t3 = (int32_t)part.texture3;
    if (render_can_pair_textures(t1, t2)) {
      draw_set_textures(t1, t2);
      draw_indexed(mesh->indices, n);
      if (t3) {
        draw_set_depth_function(DEPTH_LESS_EQUAL);
        draw_set_texture(t3);
        draw_set_flags(layer_flags(base));
        draw_indexed(mesh->indices, n);
      }
    } else {
      draw_set_texture(t1);
      draw_indexed(mesh->indices, n);
      draw_set_depth_function(DEPTH_LESS_EQUAL);
      for (int32_t layer : {t2, t3}) {
        if (!layer) continue;
        draw_set_texture(layer);
        draw_set_flags(layer_flags(base));
        draw_indexed(mesh->indices, n);
      }
    }
  }
  draw_set_depth_function(DEPTH_LESS);
  draw_reset();
}
