#include "platform/port/tessellate.h"

#include <GL/glu.h>

#include <cstddef>

namespace {

struct Job {
    std::vector<TessPoint>* vertices;
    std::vector<std::uint32_t>* triangles;
    std::vector<std::uint32_t> pending;  // corners of the triangle being emitted
    bool failed = false;
};

// The tessellator hands back the data pointer given with each vertex; the
// vertex index is stored in it.
void* AsData(std::size_t index) { return reinterpret_cast<void*>(index); }
std::uint32_t AsIndex(void* data) { return std::uint32_t(reinterpret_cast<std::size_t>(data)); }

void GLAPIENTRY OnBegin(GLenum, void* user) { static_cast<Job*>(user)->pending.clear(); }

void GLAPIENTRY OnVertex(void* data, void* user) {
    auto* job = static_cast<Job*>(user);
    job->pending.push_back(AsIndex(data));
    if (job->pending.size() == 3) {
        job->triangles->insert(job->triangles->end(), job->pending.begin(), job->pending.end());
        job->pending.clear();
    }
}

void GLAPIENTRY OnEnd(void* user) { static_cast<Job*>(user)->pending.clear(); }

// Registering an edge flag callback makes the tessellator emit plain triangles
// (no fans or strips).
void GLAPIENTRY OnEdgeFlag(GLboolean, void*) {}

void GLAPIENTRY OnCombine(GLdouble coords[3], void* neighbours[4], GLfloat weights[4], void** out, void* user) {
    (void)neighbours;
    (void)weights;
    auto* job = static_cast<Job*>(user);
    job->vertices->push_back(TessPoint{coords[0], coords[1]});
    *out = AsData(job->vertices->size() - 1);
}

void GLAPIENTRY OnError(GLenum, void* user) { static_cast<Job*>(user)->failed = true; }

}  // namespace

bool TessellateContours(const std::vector<std::vector<TessPoint>>& contours, std::vector<TessPoint>* vertices,
                        std::vector<std::uint32_t>* triangles) {
    vertices->clear();
    triangles->clear();
    for (const auto& contour : contours) vertices->insert(vertices->end(), contour.begin(), contour.end());
    GLUtesselator* tess = gluNewTess();
    if (!tess) return false;
    Job job{vertices, triangles, {}, false};
    gluTessCallback(tess, GLU_TESS_BEGIN_DATA, reinterpret_cast<_GLUfuncptr>(OnBegin));
    gluTessCallback(tess, GLU_TESS_VERTEX_DATA, reinterpret_cast<_GLUfuncptr>(OnVertex));
    gluTessCallback(tess, GLU_TESS_END_DATA, reinterpret_cast<_GLUfuncptr>(OnEnd));
    gluTessCallback(tess, GLU_TESS_EDGE_FLAG_DATA, reinterpret_cast<_GLUfuncptr>(OnEdgeFlag));
    gluTessCallback(tess, GLU_TESS_COMBINE_DATA, reinterpret_cast<_GLUfuncptr>(OnCombine));
    gluTessCallback(tess, GLU_TESS_ERROR_DATA, reinterpret_cast<_GLUfuncptr>(OnError));
    gluTessProperty(tess, GLU_TESS_WINDING_RULE, GLU_TESS_WINDING_ODD);
    gluTessNormal(tess, 0.0, 0.0, 1.0);
    // The tessellator keeps pointers to the coordinates until the polygon ends.
    std::vector<GLdouble> coords(vertices->size() * 3, 0.0);
    gluTessBeginPolygon(tess, &job);
    std::size_t index = 0;
    for (const auto& contour : contours) {
        gluTessBeginContour(tess);
        for (std::size_t i = 0; i < contour.size(); ++i, ++index) {
            GLdouble* c = &coords[index * 3];
            c[0] = contour[i].x;
            c[1] = contour[i].y;
            gluTessVertex(tess, c, AsData(index));
        }
        gluTessEndContour(tess);
    }
    gluTessEndPolygon(tess);
    gluDeleteTess(tess);
    if (job.failed) {
        vertices->resize(0);
        triangles->clear();
    }
    return !job.failed;
}
