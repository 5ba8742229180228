#include "serve/openapi.h"

namespace {
constexpr std::string_view kDocument = R"json({
  "openapi": "3.0.3",
  "info": {
    "title": "gangprog station",
    "version": "1",
    "description": "Drive and watch the gang programmer station. JSON in UTF-8; errors are {\"error\": text}. Beyond loopback every request carries Authorization: Bearer TOKEN (GET requests may carry ?token=TOKEN instead)."
  },
  "components": {
    "securitySchemes": {"bearer": {"type": "http", "scheme": "bearer"}},
    "schemas": {
      "Error": {"type": "object", "required": ["error"], "properties": {"error": {"type": "string"}}},
      "Project": {"type": "object", "properties": {
        "file": {"type": "string"}, "manufacturer": {"type": "string"},
        "part_number": {"type": "string"}, "data_crc": {"type": "string", "description": "CRC-32 of the data image, 8 hex digits"}}},
      "Site": {"type": "object", "properties": {
        "site": {"type": "integer", "minimum": 1, "maximum": 8},
        "state": {"type": "string", "enum": ["NONE", "READY", "WORKING", "PASS", "FAIL", "Remove IC", "Insert IC", "Push Key"]},
        "passed": {"type": "integer"}, "failed": {"type": "integer"}, "checked": {"type": "boolean"}}},
      "Station": {"type": "object", "properties": {
        "version": {"type": "string"}, "units": {"type": "integer"}, "running": {"type": "boolean"},
        "project": {"nullable": true, "allOf": [{"$ref": "#/components/schemas/Project"}]},
        "sites": {"type": "array", "items": {"$ref": "#/components/schemas/Site"}},
        "statistics": {"type": "object", "properties": {
          "passed": {"type": "integer"}, "failed": {"type": "integer"}, "total": {"type": "integer"}}}}},
      "StationRunRequest": {"type": "object", "additionalProperties": false, "properties": {
        "sites": {"type": "array", "items": {"type": "integer", "minimum": 1, "maximum": 8}, "uniqueItems": true},
        "auto": {"type": "boolean", "default": false},
        "parts": {"type": "integer", "minimum": 1, "description": "with auto: stop once this many parts are done in all"},
        "mode": {"type": "string", "enum": ["pc", "sd"], "default": "pc"}}},
      "Run": {"type": "object", "properties": {
        "run": {"type": "integer"}, "state": {"type": "string", "enum": ["running", "done"]},
        "parts": {"type": "integer"}, "passed": {"type": "integer"}, "failed": {"type": "integer"}}}
    },
    "responses": {
      "Error": {"description": "the reason", "content": {"application/json": {"schema": {"$ref": "#/components/schemas/Error"}}}}
    }
  },
  "security": [{"bearer": []}],
  "paths": {
    "/api/v1/station": {"get": {"summary": "The station: units, run, project, sites, statistics",
      "responses": {"200": {"description": "the station", "content": {"application/json": {"schema": {"$ref": "#/components/schemas/Station"}}}}, "401": {"$ref": "#/components/responses/Error"}}}},
    "/api/v1/project": {"post": {"summary": "Load a project file from the project folders, as the project window does",
      "requestBody": {"required": true, "content": {"application/json": {"schema": {"type": "object", "required": ["path"], "additionalProperties": false, "properties": {"path": {"type": "string"}}}}}},
      "responses": {
        "200": {"description": "loaded", "content": {"application/json": {"schema": {"$ref": "#/components/schemas/Project"}}}},
        "400": {"$ref": "#/components/responses/Error"}, "401": {"$ref": "#/components/responses/Error"},
        "403": {"$ref": "#/components/responses/Error"}, "404": {"$ref": "#/components/responses/Error"},
        "409": {"$ref": "#/components/responses/Error"}, "413": {"$ref": "#/components/responses/Error"},
        "422": {"$ref": "#/components/responses/Error"}}}},
    "/api/v1/run": {"post": {"summary": "Start a run on the chosen sites (default every site with a unit)",
      "requestBody": {"required": false, "content": {"application/json": {"schema": {"$ref": "#/components/schemas/StationRunRequest"}}}},
      "responses": {
        "202": {"description": "started", "content": {"application/json": {"schema": {"type": "object", "properties": {"run": {"type": "integer"}}}}}},
        "400": {"$ref": "#/components/responses/Error"}, "401": {"$ref": "#/components/responses/Error"},
        "409": {"$ref": "#/components/responses/Error"}, "412": {"$ref": "#/components/responses/Error"},
        "413": {"$ref": "#/components/responses/Error"}}}},
    "/api/v1/stop": {"post": {"summary": "Stop the run: every site finishes the part in hand",
      "responses": {"202": {"description": "stopping"}, "401": {"$ref": "#/components/responses/Error"}}}},
    "/api/v1/runs/{id}": {"get": {"summary": "A run's state and tally",
      "parameters": [{"name": "id", "in": "path", "required": true, "schema": {"type": "integer"}}],
      "responses": {"200": {"description": "the run", "content": {"application/json": {"schema": {"$ref": "#/components/schemas/Run"}}}}, "401": {"$ref": "#/components/responses/Error"}, "404": {"$ref": "#/components/responses/Error"}}}},
    "/api/v1/records": {"get": {"summary": "The production trail, oldest first",
      "parameters": [
        {"name": "since", "in": "query", "schema": {"type": "string"}, "description": "YYYY-MM-DD[Thh:mm[:ss[.fff]]][Z|+hh:mm]; without an offset the station's local time"},
        {"name": "limit", "in": "query", "schema": {"type": "integer", "minimum": 1, "maximum": 100000, "default": 1000}},
        {"name": "format", "in": "query", "schema": {"type": "string", "enum": ["json", "csv"], "default": "json"}}],
      "responses": {"200": {"description": "the records", "content": {"application/json": {"schema": {"type": "array", "items": {"type": "object"}}}, "text/csv": {"schema": {"type": "string"}}}}, "400": {"$ref": "#/components/responses/Error"}, "401": {"$ref": "#/components/responses/Error"}}}},
    "/api/v1/report": {"get": {"summary": "The yield report of the production trail, as gangprog-cli records report gives it",
      "parameters": [
        {"name": "by", "in": "query", "required": true, "schema": {"type": "string", "enum": ["site", "socket", "part", "step", "hour"]}},
        {"name": "since", "in": "query", "schema": {"type": "string"}, "description": "YYYY-MM-DD[Thh:mm[:ss[.fff]]][Z|+hh:mm]; without an offset the station's local time"}],
      "responses": {"200": {"description": "one row per key: the key under the name of by (hours as YYYY-MM-DDThh:00Z), parts, passed, failed, yield (a share)", "content": {"application/json": {"schema": {"type": "array", "items": {"type": "object"}}}}}, "400": {"$ref": "#/components/responses/Error"}, "401": {"$ref": "#/components/responses/Error"}}}},
    "/api/v1/events": {"get": {"summary": "Server-sent events: site, step, part, summary and log, each with an increasing id; reset when a Last-Event-ID is no longer held",
      "parameters": [{"name": "Last-Event-ID", "in": "header", "schema": {"type": "integer"}}],
      "responses": {"200": {"description": "the stream", "content": {"text/event-stream": {"schema": {"type": "string"}}}}, "401": {"$ref": "#/components/responses/Error"}}}},
    "/api/v1/openapi.json": {"get": {"summary": "This document", "responses": {"200": {"description": "OpenAPI 3"}}}},
    "/metrics": {"get": {"summary": "Prometheus text: gangprog_parts_total, gangprog_part_duration_seconds, gangprog_unit_up, gangprog_run_active",
      "responses": {"200": {"description": "the figures", "content": {"text/plain": {"schema": {"type": "string"}}}}}}},
    "/": {"get": {"summary": "The dashboard", "responses": {"200": {"description": "HTML", "content": {"text/html": {"schema": {"type": "string"}}}}}}}
  }
}
)json";
}  // namespace

std::string_view OpenApiDocument() {
  return kDocument;
}
