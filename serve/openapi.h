#pragma once
// GET /api/v1/openapi.json: the API described in OpenAPI 3.0.
#include <string_view>

std::string_view OpenApiDocument();
