#pragma once
// The demo meshes meshbuild makes from a name and KEY=VALUE parameters. Every generator is a
// pure function of its parameters, so the same command line gives the same bytes.
//   humanoid height=1.8          six bones: body 0, head 1, arms 2-3, legs 4-5; feet at y 0,
//                                facing +z; texture coordinates per box face
//   quadruped length=1.6 height=1.0
//                                seven bones: body 0, head 1, legs 2-5, tail 6; facing +z
//   tree height=5 crown=2        a trunk and a crown of crossed two-sided leaf cards (drawn
//                                alpha-tested), not skinned
//   rock size=1.2 seed=1         a closed lumpy ball sitting on y 0, smooth normals
//   box x=1 y=1 z=1              a box standing on y 0, texture coordinates per face
#include <string>
#include <vector>

#include "mesh_builder.h"

// False with a message for an unknown generator, parameter or value.
bool mesh_generate(const std::string& name, const std::vector<std::string>& parameters, MeshBuild* out,
                   std::string* error);
