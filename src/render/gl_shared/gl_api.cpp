#include "render/gl_shared/gl_api.h"

namespace {

uint64_t g_counts[GL_FN_COUNT];

const GlApi DRIVER = {
#define GL_API_DRIVER(ret, name, params, args, state) gl##name,
    GL_API_FUNCTIONS(GL_API_DRIVER)
#undef GL_API_DRIVER
};

#define GL_API_COUNTING(ret, name, params, args, state) \
  ret counting_##name params {                          \
    g_counts[GL_FN_##name]++;                           \
    return DRIVER.name args;                            \
  }
GL_API_FUNCTIONS(GL_API_COUNTING)
#undef GL_API_COUNTING

const GlApi COUNTING = {
#define GL_API_COUNTING_ENTRY(ret, name, params, args, state) counting_##name,
    GL_API_FUNCTIONS(GL_API_COUNTING_ENTRY)
#undef GL_API_COUNTING_ENTRY
};

const int STATE_FUNCTION[GL_FN_COUNT] = {
#define GL_API_STATE(ret, name, params, args, state) state,
    GL_API_FUNCTIONS(GL_API_STATE)
#undef GL_API_STATE
};

const char* const NAMES[GL_FN_COUNT] = {
#define GL_API_NAME(ret, name, params, args, state) "gl" #name,
    GL_API_FUNCTIONS(GL_API_NAME)
#undef GL_API_NAME
};

}  // namespace

GlApi g_gl = DRIVER;

void gl_api_use_driver(void) { g_gl = DRIVER; }

void gl_api_use_counting(void) {
  g_gl = COUNTING;
  gl_api_reset_counts();
}

void gl_api_reset_counts(void) {
  for (uint64_t& c : g_counts) c = 0;
}

uint64_t gl_api_count(GlFunction function) {
  return function >= 0 && function < GL_FN_COUNT ? g_counts[function] : 0;
}

uint64_t gl_api_total(void) {
  uint64_t total = 0;
  for (uint64_t c : g_counts) total += c;
  return total;
}

uint64_t gl_api_state_calls(void) {
  uint64_t total = 0;
  for (int i = 0; i < GL_FN_COUNT; i++)
    if (STATE_FUNCTION[i]) total += g_counts[i];
  return total;
}

const char* gl_api_name(GlFunction function) {
  return function >= 0 && function < GL_FN_COUNT ? NAMES[function] : "";
}
