#pragma once
// The OpenGL 1.1 entry points the two GL backends use, called only through one table so a
// thin counting layer can stand between the backends and the driver (tests count the calls
// a draw issues). The default table holds the driver's own functions.
#include <GL/gl.h>

#include <cstdint>

#ifndef GL_TEXTURE_MAX_ANISOTROPY_EXT
#define GL_TEXTURE_MAX_ANISOTROPY_EXT 0x84FE
#endif
#ifndef GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT
#define GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT 0x84FF
#endif
#ifndef GL_TEXTURE_MAX_LEVEL
#define GL_TEXTURE_MAX_LEVEL 0x813D
#endif

// X(return type, name, parameter list, argument list, is a state call)
#define GL_API_FUNCTIONS(X)                                                                         \
  X(const GLubyte*, GetString, (GLenum a), (a), 0)                                                  \
  X(void, GetIntegerv, (GLenum a, GLint * b), (a, b), 0)                                            \
  X(void, GetFloatv, (GLenum a, GLfloat * b), (a, b), 0)                                            \
  X(void, MatrixMode, (GLenum a), (a), 1)                                                           \
  X(void, LoadIdentity, (void), (), 1)                                                              \
  X(void, LoadMatrixf, (const GLfloat* a), (a), 1)                                                  \
  X(void, AlphaFunc, (GLenum a, GLclampf b), (a, b), 1)                                             \
  X(void, CullFace, (GLenum a), (a), 1)                                                             \
  X(void, FrontFace, (GLenum a), (a), 1)                                                            \
  X(void, ShadeModel, (GLenum a), (a), 1)                                                           \
  X(void, BlendFunc, (GLenum a, GLenum b), (a, b), 1)                                               \
  X(void, Hint, (GLenum a, GLenum b), (a, b), 1)                                                    \
  X(void, Enable, (GLenum a), (a), 1)                                                               \
  X(void, Disable, (GLenum a), (a), 1)                                                              \
  X(void, TexEnvf, (GLenum a, GLenum b, GLfloat c), (a, b, c), 1)                                   \
  X(void, EnableClientState, (GLenum a), (a), 1)                                                    \
  X(void, ClearColor, (GLclampf a, GLclampf b, GLclampf c, GLclampf d), (a, b, c, d), 1)            \
  X(void, Clear, (GLbitfield a), (a), 0)                                                            \
  X(void, Flush, (void), (), 0)                                                                     \
  X(void, Finish, (void), (), 0)                                                                    \
  X(void, GenTextures, (GLsizei a, GLuint * b), (a, b), 0)                                          \
  X(void, DeleteTextures, (GLsizei a, const GLuint* b), (a, b), 0)                                  \
  X(void, BindTexture, (GLenum a, GLuint b), (a, b), 1)                                             \
  X(void, TexParameteri, (GLenum a, GLenum b, GLint c), (a, b, c), 0)                               \
  X(void, TexParameterf, (GLenum a, GLenum b, GLfloat c), (a, b, c), 0)                             \
  X(void, TexImage2D,                                                                               \
    (GLenum a, GLint b, GLint c, GLsizei d, GLsizei e, GLint f, GLenum g, GLenum h, const void* i), \
    (a, b, c, d, e, f, g, h, i), 0)                                                                 \
  X(void, PixelStorei, (GLenum a, GLint b), (a, b), 0)                                              \
  X(void, DepthFunc, (GLenum a), (a), 1)                                                            \
  X(void, DepthMask, (GLboolean a), (a), 1)                                                         \
  X(void, ColorMask, (GLboolean a, GLboolean b, GLboolean c, GLboolean d), (a, b, c, d), 1)         \
  X(void, PointSize, (GLfloat a), (a), 1)                                                           \
  X(void, LineWidth, (GLfloat a), (a), 1)                                                           \
  X(void, Fogi, (GLenum a, GLint b), (a, b), 1)                                                     \
  X(void, Fogf, (GLenum a, GLfloat b), (a, b), 1)                                                   \
  X(void, Fogfv, (GLenum a, const GLfloat* b), (a, b), 1)                                           \
  X(void, Scissor, (GLint a, GLint b, GLsizei c, GLsizei d), (a, b, c, d), 1)                       \
  X(void, Viewport, (GLint a, GLint b, GLsizei c, GLsizei d), (a, b, c, d), 1)                      \
  X(void, VertexPointer, (GLint a, GLenum b, GLsizei c, const void* d), (a, b, c, d), 1)            \
  X(void, TexCoordPointer, (GLint a, GLenum b, GLsizei c, const void* d), (a, b, c, d), 1)          \
  X(void, ColorPointer, (GLint a, GLenum b, GLsizei c, const void* d), (a, b, c, d), 1)             \
  X(void, DrawArrays, (GLenum a, GLint b, GLsizei c), (a, b, c), 0)                                 \
  X(void, DrawElements, (GLenum a, GLsizei b, GLenum c, const void* d), (a, b, c, d), 0)            \
  X(void, ReadPixels, (GLint a, GLint b, GLsizei c, GLsizei d, GLenum e, GLenum f, void* g),        \
    (a, b, c, d, e, f, g), 0)                                                                       \
  X(GLuint, GenLists, (GLsizei a), (a), 0)                                                          \
  X(void, NewList, (GLuint a, GLenum b), (a, b), 0)                                                 \
  X(void, EndList, (void), (), 0)                                                                   \
  X(void, CallList, (GLuint a), (a), 1)                                                             \
  X(void, DeleteLists, (GLuint a, GLsizei b), (a, b), 0)                                            \
  X(void, Begin, (GLenum a), (a), 0)                                                                \
  X(void, End, (void), (), 0)                                                                       \
  X(void, Color4ubv, (const GLubyte* a), (a), 0)                                                    \
  X(void, TexCoord2fv, (const GLfloat* a), (a), 0)                                                  \
  X(void, Vertex3fv, (const GLfloat* a), (a), 0)

struct GlApi {
#define GL_API_MEMBER(ret, name, params, args, state) ret(*name) params;
  GL_API_FUNCTIONS(GL_API_MEMBER)
#undef GL_API_MEMBER
};

enum GlFunction : int {
#define GL_API_ENUM(ret, name, params, args, state) GL_FN_##name,
  GL_API_FUNCTIONS(GL_API_ENUM)
#undef GL_API_ENUM
      GL_FN_COUNT
};

// The table the backends call through.
extern GlApi g_gl;

// Installs the driver's functions.
void gl_api_use_driver(void);
// Installs counting wrappers around the driver's functions and zeroes the counts.
void gl_api_use_counting(void);
void gl_api_reset_counts(void);
// Calls of one function, all calls, and calls that change state (everything the state
// shadow stands in front of: enables, binds, functions, masks, fog, scissor, pointers,
// matrices, list calls) since the last reset.
uint64_t gl_api_count(GlFunction function);
uint64_t gl_api_total(void);
uint64_t gl_api_state_calls(void);
const char* gl_api_name(GlFunction function);
