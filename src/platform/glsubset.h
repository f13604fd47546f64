#pragma once
// Our OpenGL 1.1 over OpenGL ES 2 (and so over WebGL 1): exactly the GL 1.1
// and GLU calls the demo makes, defined here under their own names, so that
// the demo's sources link against this in place of libGL.
//
//   GL 1.1 / GLU call                     here
//   glMatrixMode, glLoadIdentity,         our own modelview and projection stacks
//     glPushMatrix, glPopMatrix,          (32 deep, single precision as GL keeps
//     glTranslatef, glRotatef,            them); every vertex leaves here already
//     gluPerspective                      in clip coordinates
//   glBegin(GL_QUADS, GL_TRIANGLES),      quads become two triangles each, split
//     glEnd, glVertex3f, glVertex3d       along the diagonal Mesa takes (fanned
//                                         from the first corner, or (0,1,3),
//                                         (1,2,3) where it cuts the quads at the
//                                         view's edges or shades them flat), and
//                                         go, with the triangles, into one batch
//   glColor3f, glColor4f, glTexCoord2f    the current colour (clamped per vertex,
//                                         as GL does) and texture coordinate
//   glNormal3f                            nothing: lighting is never on
//   glEnable/glDisable(GL_TEXTURE_2D)     our own switch: one shader pair draws
//                                         colour x texture (GL_MODULATE) or colour
//   glEnable/glDisable(GL_BLEND, GL_DEPTH_TEST), glBlendFunc, glDepthFunc,
//     glClear, glClearColor, glClearDepth, glViewport, glGenTextures,
//     glBindTexture, glTexParameteri, glTexImage2D, glPixelStorei,
//     glGetIntegerv, glGetString, glFinish, glFlush
//                                         ES 2's own calls
//   glReadPixels                          read as RGBA (what ES 2 promises) and
//                                         packed as asked (GL_RGB or GL_RGBA)
//   glGetFloatv(GL_MODELVIEW_MATRIX,      the top of our own stack
//     GL_PROJECTION_MATRIX)
//   glPushAttrib, glPopAttrib             our own stack of all the state above
//                                         (the capture tool's yardstick keeps the
//                                         scenes' state with it)
//   glShadeModel                          how quads are split; ES 2 interpolates
//                                         smoothly, as the demo's flat blocks,
//                                         one colour per quad, come out anyway
//   glHint                                nothing: ES 2 interpolates with
//                                         perspective, which is what the demo asks
//
// The batch is drawn before any call that changes how it would be drawn
// (texturing, texture binding or contents, blending, depth test, viewport)
// and before glClear, glReadPixels, glFinish, glFlush and every buffer swap.
// Matrix and colour changes never draw it: they act on the vertices as they
// come.
//
// Implemented:
//  [X] Every call listed above, with the arguments the demo passes
//  [X] Textures whose sides are not powers of two clamp to their edges where
//      the context cannot repeat them (WebGL 1); elsewhere they repeat, as in GL
//  [ ] Other primitives than GL_QUADS, flat shading, lighting, texture
//      environments other than GL_MODULATE, other GL calls: the demo makes none
#include <string>

namespace glsubset {

// Looks up an OpenGL ES 2 entry point of the current context by name; null
// when there is none.
using LoadFunction = void* (*)(const char* name);

// With a fresh ES 2 context current: loads its entry points through `load`,
// builds the shader pair and the vertex buffer, and starts from GL's default
// state. False, with the reason, when an entry point is missing or the shaders
// do not build; GL calls then do nothing.
bool start(LoadFunction load, std::string& why);
// Draws what is batched.
void flushBatch();
// The context goes, and what start made goes with it. GL calls do nothing
// until the next start.
void stop();

}  // namespace glsubset
