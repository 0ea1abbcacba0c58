#pragma once
// The game's entity catalogue: the numbers of the entity spaces and component types that
// every game module uses, and the records of the components whose content the catalogue
// fixes. Records of components owned by world rendering (prop bounds, animation, skeleton,
// skinned draw, per-prop data) carry only what is known here and grow with their modules;
// element sizes always come from sizeof, so nothing else changes when they do.
//
// Component addresses are valid only until the next creation or destruction in the same
// space (entity_world.h); keep handles or server ids across frames.
#include <cstdint>

#include "base/camera.h"
#include "base/math.h"

// Entity spaces: the top byte of a handle.
enum : uint32_t {
  SPACE_CAMERA = 1,
  SPACE_ENVIRONMENT = 2,
  SPACE_PROPS = 3,    // plain props of the zone
  SPACE_WATER = 4,    // kind-4 props: water volumes
  SPACE_PROPS_C = 5,  // kind-5 props
  SPACE_LIGHTS = 6,   // placed point lights and effect lights
  SPACE_LOCAL_PLAYER = 7,
  SPACE_PLAYERS = 8,  // other players
  SPACE_CREATURES = 9,
  SPACE_OBJECTS = 10,
  SPACE_PREVIEW = 11,  // the character preview model of the character screens
  SPACE_SOUNDS = 12,   // ambient sound sources
  SPACE_PROPS_D = 13,  // kind-6 props: animated
};
constexpr uint32_t CATALOGUE_SPACE_COUNT = 13;

// Component types.
enum : uint32_t {
  COMPONENT_CAMERA_STATE = 1,
  COMPONENT_ZONE_ENVIRONMENT = 2,
  COMPONENT_ENTITY_HEADER = 3,
  COMPONENT_POINT_LIGHT = 4,
  COMPONENT_MESH_REF = 5,
  COMPONENT_MODEL_INSTANCE = 6,
  COMPONENT_TRANSFORM = 7,
  COMPONENT_MOTION_STATE = 8,
  COMPONENT_MOVE_TRACK = 9,
  COMPONENT_POSITION_HISTORY = 10,
  COMPONENT_PROP_BOUNDS = 11,
  COMPONENT_ZONE_RESOURCE_A = 12,
  COMPONENT_ZONE_RESOURCE_B = 13,
  COMPONENT_ANIMATION_STATE = 14,
  COMPONENT_SKELETON_POSE = 15,
  COMPONENT_SKINNED_DRAW = 16,
  COMPONENT_ZONE_RESOURCE_C = 17,
  COMPONENT_SOUND_SOURCE = 18,
  COMPONENT_GAME_OBJECT = 19,
  COMPONENT_CREATURE = 20,
  COMPONENT_PLAYER_CHARACTER = 21,
  COMPONENT_LOCAL_PLAYER = 22,
  COMPONENT_SERVER_ID = 23,
  COMPONENT_WATER_SURFACE = 24,
  COMPONENT_PROP_C = 25,
  COMPONENT_PROP_D = 26,
};
constexpr uint32_t CATALOGUE_COMPONENT_COUNT = 26;

// 1: the camera's own settings, then the camera record the view set-up fills each frame.
struct CameraState {
  float near_plane;    // 0.1
  float far_distance;  // from the zone
  float fov_degrees;   // vertical, 60
  Camera camera;
};

// 2: the zone's environment: the distances, colours, light and sky of the zone, filled from
// the zone file by env_record_init and recomputed each frame by env_update (environment.h).
// Colours are 0..1 per channel.
struct ZoneEnvironment {
  float base_colour[3];  // from the zone file; multiplies the hourly fog colour
  float fog_colour[3];
  int32_t view_level;         // the clip-distance setting at the last view-distance computation
  int32_t min_far;            // far distance at level 0
  int32_t max_far;            // far distance at level 9
  float nominal_fog_start;    //
  float nominal_far;          // far distance at level 4
  uint32_t cell_size;         // the far distance is capped at six cells
  float fog_start;            //
  float far_distance;         // also the camera's far plane and the fog end
  uint32_t flags;             // ENV_FLAG_*; the light direction is published only when == 2
  int32_t celestial;          // CELESTIAL_*
  float celestial_elevation;  // degrees, -10 .. 85
  float celestial_azimuth;    // degrees, always 90
  float light_direction[3];   // unit vector towards the light
  float light_colour[3];
  float cloud_colour_1[3];
  float cloud_colour_2[3];
  float day_fraction;  // 0 midnight, 0.5 noon
  // Seconds of the day, 0 <= clock < 86400. Double: a float this large would lose most of a
  // frame's step.
  double clock;
};
enum : uint32_t {
  ENV_FLAG_CLEARS_COLOUR = 0x1,  // the frame clears the colour buffer with the fog colour
  ENV_FLAG_SKY = 0x2,            // the sky is drawn
};
enum : int32_t { CELESTIAL_NONE = 0, CELESTIAL_SUN = 1, CELESTIAL_MOON = 2 };

// 3: every entity has one.
struct EntityHeader {
  uint32_t handle;       // the entity's own handle
  uint32_t value;        // characters: 0; props: the prop value from the zone file
  uint32_t flags;        // characters: 3; props: the prop's first flag byte (0x04 second model
                         // pass, 0x40 hidden)
  uint32_t active;       // the per-frame passes skip inactive entities
  uint32_t static_flag;  // 1 for props (bounds computed once), 0 for server entities
  uint32_t prop_number;  // props only: index in the zone file's prop list
};

// 4: a point light with its bounding box (position +- radius).
struct PointLight {
  float radius, inverse_radius, radius_squared, inverse_radius_squared;
  uint8_t colour[3];
  Vec3 position;
  Bounds bounds;
};

// 5
struct MeshRef {
  uint32_t mesh_id;  // ASSET_MESH
  uint32_t word;     // 0 for characters
};

struct EntityWorld;
// Computes an entity's world bounds itself (skinned characters, objects); 1 on success.
typedef int (*InstanceBoundsFn)(EntityWorld* world, uint32_t handle, Bounds* out);

// 6: a drawn model.
struct ModelInstance {
  const void* appearance;  // appearance definition (props: the zone file's model reference)
  Bounds world_bounds;
  uint32_t visible;            // 1 at creation
  InstanceBoundsFn bounds_fn;  // or null: the mesh bounds through the Transform
  float light;                 // zone lighting factor 0..1, approached by at most dt per frame
  uint8_t light_sampled;       // the first sample is taken as is
  uint8_t update_due;          // props: bounds and light still to be computed (set at creation)
  uint8_t updated;             // world_bounds and light are current
  uint8_t reserved;
};

// 7: y is up; rotations in degrees (y is the heading). The model matrix is scale, then
// rotation about x, then y, then z, then translation.
struct Transform {
  Vec3 position;
  Vec3 rotation;
  Vec3 scale;
};

// 8: a walking character's movement and collision state. The movement-physics fields come
// first, in their order (body height, radius and centre offset, then the airborne state);
// the stored heading follows. Later movement code appends its own fields after these.
struct AirborneRecord {
  int32_t air_state_copy;
  double air_time;  // seconds
  float start_height;
  int32_t jump_flag;
  int32_t long_air_flag;
  int32_t jump_flag_copy;
  int32_t hard_landing;  // cleared by the animation controller that reads it
};
// The local player's motion record: what player control decides each frame and the movement
// report is built from.
struct PlayerMotion {
  uint8_t motion_state;  // MOTION_* bits
  uint8_t direction;     // DIRECTION_* bits
  Vec3 position;
  float heading;         // degrees
  int32_t steering;      // the mouse steers the heading
  float look_angle;      // the camera yaw the heading follows while steering
  float turn_amount;     // degrees turned in this frame
  int32_t jump_request;  // a jump starts in this frame
  Vec3 move_direction;   // unit vector, or zero without movement input
  float speed;           // units per second along move_direction
};
// The last movement report sent and the time gathered towards the next one.
struct ReportMemory {
  uint8_t motion_state, direction;
  Vec3 position;
  float heading;
  float timer;  // seconds
};
struct MotionState {
  float height;         // 2.0
  float radius;         // 0.5
  float centre_offset;  // 1.025: capsule centre above the feet
  int32_t air_state;    // 0 on the ground, 1 rising, 2 falling
  float air_speed;
  AirborneRecord airborne;
  Vec3 air_direction;  // y is 1 for a jump, 0 for a fall
  int32_t fell;        // the fall began by walking off an edge
  int32_t on_ground;
  int32_t stepped;
  float vertical_speed;  // positive up
  Vec3 ground_normal;
  float heading;  // the stored heading (degrees)
  // The local player's control, appended after the physics fields; a teleport or a new
  // spawn zeroes them with the rest.
  float turn_time;       // seconds the turn keys have been held, for the start ramp
  float swim_pitch;      // degrees, -75 .. 75; 0 out of water
  float body_pitch;      // degrees, follows swim_pitch at up to 180 a second
  PlayerMotion control;  // what player control decided in the current frame
  ReportMemory report;   // the last movement report sent
};

// 9: following a remote character's reported movement: a buffer of up to MOVE_TRACK_SAMPLES
// compact samples played back with a delay that adapts to the arrival intervals. Times are
// seconds on the track's own clock; doubles, so a long session keeps frame precision.
constexpr int MOVE_TRACK_SAMPLES = 16;
constexpr int MOVE_TRACK_INTERVALS = 8;
// Motion state bits (they combine) and direction bits of a movement sample.
enum : uint8_t {
  MOTION_STANDING = 1,
  MOTION_WALKING = 2,
  MOTION_RUNNING = 4,
  MOTION_IN_WATER = 8,
  MOTION_JUMPING = 16,
  MOTION_FALLING = 32,
  MOTION_UNDER_WATER = 64,
  MOTION_TURNING = 128,
};
constexpr uint8_t MOTION_MOVING = MOTION_WALKING | MOTION_RUNNING;
// Direction bits: forward and one sideways bit combine (5, 9, 6, 10).
enum : uint8_t {
  DIRECTION_FORWARD = 1,
  DIRECTION_BACKWARD = 2,
  DIRECTION_RIGHT = 4,  // sideways, the strafe-right way
  DIRECTION_LEFT = 8,
  DIRECTION_TURN_LEFT = 16,  // the heading grows
  DIRECTION_TURN_RIGHT = 32,
};
constexpr uint8_t DIRECTION_MOVING =
    DIRECTION_FORWARD | DIRECTION_BACKWARD | DIRECTION_RIGHT | DIRECTION_LEFT;
constexpr uint8_t DIRECTION_TURNING = DIRECTION_TURN_LEFT | DIRECTION_TURN_RIGHT;
struct MoveSample {
  Vec3 position;
  float heading;         // degrees
  uint8_t motion_state;  // MOTION_* bits
  uint8_t direction;     // DIRECTION_* bits
  double stamp;
};
struct MoveTrack {
  MoveSample samples[MOVE_TRACK_SAMPLES];  // oldest first
  int32_t count;
  double playback_time;
  double since_last;                       // seconds since the last regular sample arrived
  double intervals[MOVE_TRACK_INTERVALS];  // the last arrival intervals, oldest first
  int32_t interval_count;
  double average;           // 0.1 at first, kept within 0.05 .. 0.5
  double jitter;            // max interval - average when the max exceeds twice the average, else 0
  int32_t previous_counts;  // the previous sample's interval enters the statistics
  double last_stamp;
  double clock;
  // What playback shows: the bytes in effect and the airborne animation request.
  uint8_t motion_state, direction;
  int32_t air_mode;  // -1 none, else 0 ground, 1 jumping, 2 falling
  float air_height;
  float air_time;
};

// 10: the player's position between physics ticks.
struct PositionHistory {
  Vec3 velocity;  // units per second, written each tick
  uint32_t spare;
  double accumulator;  // tick accumulator, seconds
  Vec3 previous;       // position at the previous tick
  Vec3 current;        // position at the current tick
};

// 11: collision and culling data of a placed prop.
struct PropBounds {
  uint32_t word;  // first word from the zone file
  Bounds local;
  Vec3 local_point;
  float radius;
};

// 12, 13, 17: a zone-wide resource, destroyed with the world.
struct ZoneResource {
  void* handle;
  void (*destroy)(void* handle);
};

// 14, 15, 16: skinned models; filled by animation and model drawing.
struct AnimationState {
  uint32_t set_id;
  uint32_t animation;
  float time;
  uint8_t state[116];
};
// The current bone matrices of a skinned entity (model space, row vectors).
struct SkeletonPose {
  const Mat4* bones;
  uint32_t bone_count;
};
// One part of a skinned model: a mesh whose vertices each follow one bone, drawn with up to
// three texture layers (0: none).
struct SkinnedPart {
  uint32_t mesh_id;  // ASSET_MESH
  uint32_t texture1, texture2, texture3;
  uint32_t tint;
};
static_assert(sizeof(SkinnedPart) == 20, "five words");
struct SkinnedDraw {
  const SkinnedPart* parts;
  uint32_t part_count;
};

// 18: an ambient sound source placed in the zone.
struct SoundSource {
  uint32_t sound_id;  // ASSET_SOUND
  Vec3 position;
  float radius;
  uint32_t voice;
};

// 23
struct ServerId {
  uint32_t id;
};

// 24: the water's colour grid (ASSET_LIGHT, 9 x 9 vertex colours over the volume's x-z
// rectangle) and a second word.
struct WaterSurface {
  uint32_t colour_grid_id;
  uint32_t word;
};

// 25, 26: per-prop data of kind-5 and animated props.
struct PropC {
  uint32_t prop_id;
  uint32_t words[7];
};
struct PropD {
  uint32_t prop_id;
  float time;
  uint32_t words[6];
};
