// Registers the polygon value types with the host's data-type system.

#include "geom/polygontypes.h"
#include "zemox/registry.h"

namespace zemox {
namespace {

const Registration simplePolygonType({.kind = RecordKind::DATATYPE,
                                      .id = SimplePolygon::ID,
                                      .name = "zemox::SimplePolygon",
                                      .dataTypeInfo = &PlainDataType<SimplePolygon>::info});
const Registration uvwPolygonType({.kind = RecordKind::DATATYPE,
                                   .id = UVWPolygon::ID,
                                   .name = "zemox::UVWPolygon",
                                   .dataTypeInfo = &PlainDataType<UVWPolygon>::info});

}  // namespace
}  // namespace zemox
