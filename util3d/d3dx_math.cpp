#include "util3d/d3dx_math.h"

#include <cmath>

D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* out) {
    *out = D3DXMATRIX();
    for (int i = 0; i < 4; ++i) out->m[i][i] = 1.0f;
    return out;
}

D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* a, const D3DXMATRIX* b) {
    D3DXMATRIX r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            float s = 0.0f;
            for (int k = 0; k < 4; ++k) s += a->m[i][k] * b->m[k][j];
            r.m[i][j] = s;
        }
    *out = r;
    return out;
}

D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* out, float x, float y, float z) {
    D3DXMatrixIdentity(out);
    out->m[3][0] = x;
    out->m[3][1] = y;
    out->m[3][2] = z;
    return out;
}

D3DXMATRIX* D3DXMatrixRotationY(D3DXMATRIX* out, float angle) {
    D3DXMatrixIdentity(out);
    float c = std::cos(angle), s = std::sin(angle);
    out->m[0][0] = c;
    out->m[0][2] = -s;
    out->m[2][0] = s;
    out->m[2][2] = c;
    return out;
}

namespace {
D3DXVECTOR3 Normalize(D3DXVECTOR3 v) {
    float len = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    if (len > 0.0f) {
        v.x /= len;
        v.y /= len;
        v.z /= len;
    }
    return v;
}
D3DXVECTOR3 Cross(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    return D3DXVECTOR3(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}
float Dot(const D3DXVECTOR3& a, const D3DXVECTOR3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
}  // namespace

D3DXMATRIX* D3DXMatrixLookAtLH(D3DXMATRIX* out, const D3DXVECTOR3* eye, const D3DXVECTOR3* at,
                               const D3DXVECTOR3* up) {
    D3DXVECTOR3 z = Normalize(D3DXVECTOR3(at->x - eye->x, at->y - eye->y, at->z - eye->z));
    D3DXVECTOR3 x = Normalize(Cross(*up, z));
    D3DXVECTOR3 y = Cross(z, x);
    D3DXMatrixIdentity(out);
    out->m[0][0] = x.x; out->m[0][1] = y.x; out->m[0][2] = z.x;
    out->m[1][0] = x.y; out->m[1][1] = y.y; out->m[1][2] = z.y;
    out->m[2][0] = x.z; out->m[2][1] = y.z; out->m[2][2] = z.z;
    out->m[3][0] = -Dot(x, *eye);
    out->m[3][1] = -Dot(y, *eye);
    out->m[3][2] = -Dot(z, *eye);
    return out;
}

D3DXMATRIX* D3DXMatrixPerspectiveFovLH(D3DXMATRIX* out, float fovY, float aspect, float zNear, float zFar) {
    *out = D3DXMATRIX();
    float ys = 1.0f / std::tan(fovY / 2.0f);
    out->m[0][0] = ys / aspect;
    out->m[1][1] = ys;
    out->m[2][2] = zFar / (zFar - zNear);
    out->m[2][3] = 1.0f;
    out->m[3][2] = -zNear * zFar / (zFar - zNear);
    return out;
}

D3DXVECTOR4 TransformPoint(const D3DXVECTOR3& p, const D3DXMATRIX& m) {
    return D3DXVECTOR4{p.x * m.m[0][0] + p.y * m.m[1][0] + p.z * m.m[2][0] + m.m[3][0],
                       p.x * m.m[0][1] + p.y * m.m[1][1] + p.z * m.m[2][1] + m.m[3][1],
                       p.x * m.m[0][2] + p.y * m.m[1][2] + p.z * m.m[2][2] + m.m[3][2],
                       p.x * m.m[0][3] + p.y * m.m[1][3] + p.z * m.m[2][3] + m.m[3][3]};
}
