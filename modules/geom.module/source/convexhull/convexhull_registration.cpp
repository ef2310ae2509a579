// Registers the convex hull interface with its reflection data, ConvexHullImpl as its
// implementation and the orientation enumeration of the hull computer.

#include "convexhull/convexhull_impl.h"
#include "zemox/enumeration.h"
#include "zemox/interface.h"

namespace zemox {
namespace {

const InterfaceRegistration<ConvexHullInterface> convexHullInterface;
const ImplementationRegistration<ConvexHullInterface, ConvexHullImpl> convexHullImplementation("ConvexHullImpl");
const EnumRegistration<ConvexHullInternal::ORIENTATION> convexHullOrientationEnum;

}  // namespace
}  // namespace zemox
