#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <new>
#include <vector>

#include "scene/scene.h"

namespace scene {

namespace {

// The fixed material: no ambient or specular part, so what no light reaches is black.
constexpr GLfloat materialAmbient[4] = {0.0f, 0.0f, 0.0f, 1.0f};
constexpr GLfloat materialDiffuse[4] = {1.0f, 1.0f, 1.0f, 1.0f};
constexpr GLfloat materialSpecular[4] = {0.0f, 0.0f, 0.0f, 1.0f};
constexpr GLdouble nearPlane = 1.0;
constexpr GLdouble farPlane = 10000.0;
constexpr GLfloat linearAttenuation = 0.1f;
constexpr GLfloat quadraticAttenuation = 1.0f;

float at(AnimTrack& track, float frame) { return static_cast<float>(track.evaluate(frame)); }

// The six values a corner sends for its vertex: normal x, y, z then position x, y, z.
void evaluateVertex(MeshVertex& vertex, float frame, float* out) {
    out[0] = at(vertex.normalX, frame);
    out[1] = at(vertex.normalY, frame);
    out[2] = at(vertex.normalZ, frame);
    out[3] = at(vertex.posX, frame);
    out[4] = at(vertex.posY, frame);
    out[5] = at(vertex.posZ, frame);
}

// A corner as GL takes it: texture coordinate (u, -v), its vertex's normal and position
// (`v`: the six floats of evaluateVertex).
void sendCorner(const MeshCorner& corner, const float* v) {
    glTexCoord2f(corner.u, -corner.v);
    glNormal3f(v[0], v[1], v[2]);
    glVertex3f(v[3], v[4], v[5]);
}

// For a display list: the polygons as one batch of triangles. A polygon of corners
// c0 .. cn-1 becomes (c1, c2, c0), (c2, c3, c0), ...: the triangles, in the vertex order,
// in which Mesa's renderers split a polygon, so the picture is the one of polygons sent
// one by one, without the driver's cost per primitive (half the scene's drawing time).
// Corners were checked against the vertex count when the mesh was read; the check here
// keeps a hand-built mesh from indexing past its vertices.
template <typename Values>
void emitTriangles(const SceneMesh& mesh, Values values) {
    const std::size_t vertexCount = mesh.vertices.size();
    glBegin(GL_TRIANGLES);
    for (const MeshPolygon& polygon : mesh.polygons) {
        const MeshCorner* kept[255];  // a polygon has at most 255 corners
        int count = 0;
        for (const MeshCorner& corner : mesh.cornersOf(polygon)) {
            if (corner.vertexIndex < vertexCount) kept[count++] = &corner;
        }
        for (int i = 2; i < count; ++i) {
            sendCorner(*kept[i - 1], values(kept[i - 1]->vertexIndex));
            sendCorner(*kept[i], values(kept[i]->vertexIndex));
            sendCorner(*kept[0], values(kept[0]->vertexIndex));
        }
    }
    glEnd();
}

// In immediate mode each polygon stays one GL_POLYGON, as many vertices as it has
// corners: Mesa keeps immediate-mode vertices of the whole frame in one buffer, and
// where the buffer fills decides where the brush strokes' batch is split, which moves a
// few stroke pixels by one level. Sending the same vertices keeps every frame the same.
template <typename Values>
void emitPolygons(const SceneMesh& mesh, Values values) {
    const std::size_t vertexCount = mesh.vertices.size();
    for (const MeshPolygon& polygon : mesh.polygons) {
        glBegin(GL_POLYGON);
        for (const MeshCorner& corner : mesh.cornersOf(polygon)) {
            if (corner.vertexIndex < vertexCount) sendCorner(corner, values(corner.vertexIndex));
        }
        glEnd();
    }
}

// Sends the mesh at `frame`: into a display list as triangles, or in immediate mode.
// A vertex is evaluated at the first corner that names it; one short of memory for
// the scratch evaluates it at every corner.
void emitMesh(SceneMesh& mesh, float frame, bool forList, VertexScratch& scratch) {
    const auto send = [&](auto values) {
        if (forList) {
            emitTriangles(mesh, values);
        } else {
            emitPolygons(mesh, values);
        }
    };
    const std::size_t vertexCount = mesh.vertices.size();
    bool roomy = scratch.values.size() >= 6 * vertexCount;
    if (!roomy) {
        try {
            scratch.stamps.resize(vertexCount, 0);
            scratch.values.resize(6 * vertexCount);
            roomy = true;
        } catch (const std::bad_alloc&) {
        }
    }
    if (!roomy) {
        float corner[6];
        send([&](std::uint16_t index) {
            evaluateVertex(mesh.vertices[index], frame, corner);
            return static_cast<const float*>(corner);
        });
        return;
    }
    if (++scratch.stamp == 0) {  // after 2^32 draws: no stamp may look current
        std::fill(scratch.stamps.begin(), scratch.stamps.end(), 0);
        scratch.stamp = 1;
    }
    send([&](std::uint16_t index) {
        float* values = scratch.values.data() + 6 * static_cast<std::size_t>(index);
        if (scratch.stamps[index] != scratch.stamp) {
            evaluateVertex(mesh.vertices[index], frame, values);
            scratch.stamps[index] = scratch.stamp;
        }
        return static_cast<const float*>(values);
    });
}

}  // namespace

void Scene::render(float frame) {
    if (!camera) return;
    SceneCamera& cam = *camera;

    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, materialAmbient);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, materialDiffuse);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, materialSpecular);
    glEnable(GL_LIGHTING);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    const double fieldOfView = cam.fieldOfView.evaluate(frame);
    const double aspect = cam.aspect.evaluate(frame);
    gluPerspective(fieldOfView, aspect, nearPlane, farPlane);

    // Lights and meshes are in world coordinates: the view stays for the whole scene.
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const double eyeX = cam.eyeX.evaluate(frame), eyeY = cam.eyeY.evaluate(frame), eyeZ = cam.eyeZ.evaluate(frame);
    const double targetX = cam.targetX.evaluate(frame), targetY = cam.targetY.evaluate(frame),
                 targetZ = cam.targetZ.evaluate(frame);
    const double upX = cam.upX.evaluate(frame), upY = cam.upY.evaluate(frame), upZ = cam.upZ.evaluate(frame);
    gluLookAt(eyeX, eyeY, eyeZ, targetX, targetY, targetZ, upX, upY, upZ);

    // Lights beyond the implementation's units are left out. The count is asked once:
    // a scene is drawn in the one context that the show set up with it.
    if (lightUnits_ < 0) {
        GLint maxLights = 8;
        glGetIntegerv(GL_MAX_LIGHTS, &maxLights);
        lightUnits_ = std::max(maxLights, 0);
    }
    const std::size_t usable = std::min(lights.size(), static_cast<std::size_t>(lightUnits_));
    for (std::size_t i = 0; i < usable; ++i) lights[i].apply(frame, static_cast<int>(i));

    for (SceneMesh& mesh : meshes) mesh.draw(frame, scratch_);

    glDisable(GL_LIGHTING);
}

// Kind 1 shines in the direction of its tracks: GL wants the direction towards the
// light, with w = 0. Every other kind is a point light at the tracks' position.
void SceneLight::apply(float frame, int index) {
    const float x = at(posX, frame), y = at(posY, frame), z = at(posZ, frame);
    const float r = at(red, frame), g = at(green, frame), b = at(blue, frame);
    const GLfloat position[4] = {
        lightKind == 1 ? -x : x, lightKind == 1 ? -y : y, lightKind == 1 ? -z : z,
        lightKind == 1 ? 0.0f : 1.0f,
    };
    const GLfloat diffuse[4] = {r, g, b, 1.0f};
    const GLenum unit = static_cast<GLenum>(GL_LIGHT0 + index);
    glLightfv(unit, GL_POSITION, position);
    glLightfv(unit, GL_DIFFUSE, diffuse);
    glLightf(unit, GL_LINEAR_ATTENUATION, linearAttenuation);
    glLightf(unit, GL_QUADRATIC_ATTENUATION, quadraticAttenuation);
    glEnable(unit);
}

void SceneMesh::draw(float frame, VertexScratch& scratch) {
    if (!visibility.isVisible(frame)) return;
    if (!listDecided) {
        allConstant = std::all_of(vertices.begin(), vertices.end(),
                                  [](const MeshVertex& vertex) { return vertex.isConstant(); });
        if (allConstant) {
            displayList = glGenLists(1);
            // Without a list name the mesh is simply sent every frame.
            if (displayList == 0) {
                allConstant = false;
            } else {
                glNewList(displayList, GL_COMPILE);
                emitMesh(*this, frame, true, scratch);
                glEndList();
            }
        }
        listDecided = true;
    }
    if (allConstant) {
        glCallList(displayList);
    } else {
        emitMesh(*this, frame, false, scratch);
    }
}

}  // namespace scene
