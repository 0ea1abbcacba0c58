#pragma once
// The catalogue's construction side: the thirteen entity spaces of a zone's world with their
// component sets and starting sizes, the element size of every component, where a zone
// prop goes, and creation of an entity with the catalogue's starting values. Counts taken
// from zone data are capped at CATALOGUE_MAX_PREALLOCATED before anything is reserved (the
// spaces still grow on demand past that).
#include <cstdint>

#include "base/array.h"
#include "game/components.h"
#include "world/entity_world.h"

constexpr uint32_t CATALOGUE_MAX_PREALLOCATED = 65536;

// How a space's starting size is chosen.
enum CatalogueSizing : uint32_t {
  SIZING_ONE = 1,      // exactly one entity expected
  SIZING_GROWS = 2,    // capacity 0, grows on demand
  SIZING_COUNTED = 3,  // the number of zone props that go there
};

struct CatalogueSpace {
  uint32_t space;
  CatalogueSizing sizing;
  uint32_t component_count;
  uint32_t components[12];  // in registration order
};

struct CatalogueComponent {
  uint32_t type;
  uint32_t element_size;
  ReleaseFn release;  // or null
};

// The thirteen spaces, in space order.
extern const CatalogueSpace CATALOGUE_SPACES[CATALOGUE_SPACE_COUNT];
// Components 1..26, in type order.
extern const CatalogueComponent CATALOGUE_COMPONENTS[CATALOGUE_COMPONENT_COUNT];

// Space rows and component rows by number; null outside the catalogue.
const CatalogueSpace* catalogue_space(uint32_t space);
const CatalogueComponent* catalogue_component(uint32_t type);

// Zone props per space (index = space number), counted while the zone file is read.
struct PropCounts {
  uint32_t per_space[CATALOGUE_SPACE_COUNT + 1];
};

// The space a zone prop goes to: the light flag wins, then the sound flag, then the kind
// (4 water, 5 kind-5, 6 animated, anything else plain).
uint32_t catalogue_prop_space(uint32_t light_flag, uint32_t sound_flag, uint32_t kind);

// A world with every catalogue space created and its components registered; counts may be
// null (every counted space then starts at the default size).
EntityWorld* catalogue_world_create(uint32_t tag, const PropCounts* counts);

// Creates an entity in a catalogue space and fills the catalogue's starting values: header
// (own handle, the creator's value and flags words, active, static for prop spaces), unit
// scale, visible model due for its first bounds, camera 0.1 / 60 degrees, motion 2.0 / 0.5 /
// 1.025, move track average 0.1. 0 when the space does not exist or is full.
uint32_t catalogue_entity_create(EntityWorld* world, uint32_t space, uint32_t value, uint32_t flags);

// Release function of the zone-resource components: calls the element's destroy callback.
void zone_resource_release(void* element);
