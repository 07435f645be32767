#pragma once

// The whole document object model in one include.

#include "lib/verAziruzi/XpDOMCharData.h"
#include "lib/verAziruzi/XpDOMDocument.h"
#include "lib/verAziruzi/XpDOMDtd.h"
#include "lib/verAziruzi/XpDOMElement.h"
#include "lib/verAziruzi/XpDOMNode.h"
#include "lib/verAziruzi/XpDOMNodeList.h"
#include "lib/verAziruzi/XpDOMWriter.h"
#include "lib/verAziruzi/XpXPath.h"
