#pragma once
// What both kinds of model drawing need before drawing anything: a zone environment and a
// camera entity in the world.
struct EntityWorld;

int model_view_ready(EntityWorld* world);
