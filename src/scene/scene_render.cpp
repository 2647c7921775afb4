#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>

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

// Corners were checked against the vertex count when the mesh was read; the check
// here keeps a hand-built mesh from indexing past its vertices.
void emitPolygons(SceneMesh& mesh, float frame) {
    const std::size_t vertexCount = mesh.vertices.size();
    for (const MeshPolygon& polygon : mesh.polygons) {
        glBegin(GL_POLYGON);
        for (const MeshCorner& corner : mesh.cornersOf(polygon)) {
            if (corner.vertexIndex >= vertexCount) continue;
            MeshVertex& vertex = mesh.vertices[corner.vertexIndex];
            glTexCoord2f(corner.u, -corner.v);
            glNormal3f(at(vertex.normalX, frame), at(vertex.normalY, frame), at(vertex.normalZ, frame));
            glVertex3f(at(vertex.posX, frame), at(vertex.posY, frame), at(vertex.posZ, frame));
        }
        glEnd();
    }
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

    // Lights beyond the implementation's units are left out.
    GLint maxLights = 8;
    glGetIntegerv(GL_MAX_LIGHTS, &maxLights);
    const std::size_t usable = std::min(lights.size(), static_cast<std::size_t>(std::max(maxLights, 0)));
    for (std::size_t i = 0; i < usable; ++i) lights[i].apply(frame, static_cast<int>(i));

    for (SceneMesh& mesh : meshes) mesh.draw(frame);

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

void SceneMesh::draw(float frame) {
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
                emitPolygons(*this, frame);
                glEndList();
            }
        }
        listDecided = true;
    }
    if (allConstant) {
        glCallList(displayList);
    } else {
        emitPolygons(*this, frame);
    }
}

}  // namespace scene
