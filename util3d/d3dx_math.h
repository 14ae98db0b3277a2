// Vectors and matrices of the 3D utility layer: three-float vectors and
// row-major 4 x 4 matrices used with row vectors, left-handed, y up.
#pragma once

#include "platform/d3d8.h"

struct D3DXVECTOR3 : D3DVECTOR {
    D3DXVECTOR3() : D3DVECTOR{0.0f, 0.0f, 0.0f} {}
    D3DXVECTOR3(float x_, float y_, float z_) : D3DVECTOR{x_, y_, z_} {}
};

struct D3DXMATRIX : D3DMATRIX {
    D3DXMATRIX() : D3DMATRIX{} {}
    D3DXMATRIX(const D3DMATRIX& m) : D3DMATRIX(m) {}
    float& operator()(int row, int col) { return m[row][col]; }
    float operator()(int row, int col) const { return m[row][col]; }
};

D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* out);
// out = a * b: a is applied first.
D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* a, const D3DXMATRIX* b);
D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* out, float x, float y, float z);
D3DXMATRIX* D3DXMatrixRotationY(D3DXMATRIX* out, float angle);
D3DXMATRIX* D3DXMatrixLookAtLH(D3DXMATRIX* out, const D3DXVECTOR3* eye, const D3DXVECTOR3* at,
                               const D3DXVECTOR3* up);
D3DXMATRIX* D3DXMatrixPerspectiveFovLH(D3DXMATRIX* out, float fovY, float aspect, float zNear, float zFar);

// p * M with the full homogeneous result (x, y, z, w).
struct D3DXVECTOR4 {
    float x, y, z, w;
};
D3DXVECTOR4 TransformPoint(const D3DXVECTOR3& p, const D3DXMATRIX& m);
