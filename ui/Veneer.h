// The whole toolkit in one include: base types, markup and the dialog
// builder, the paint manager and rendering, every control family, the
// window host and the drop shadow. Programs include this; the toolkit's own
// files include only the headers they use.
#pragma once

#include "ui/UIBase.h"
#include "ui/UIButton.h"
#include "ui/UIContainer.h"
#include "ui/UIControl.h"
#include "ui/UIDefine.h"
#include "ui/UIDlgBuilder.h"
#include "ui/UIGifAnim.h"
#include "ui/UILabel.h"
#include "ui/UIManager.h"
#include "ui/UIMarkup.h"
#include "ui/UIOption.h"
#include "ui/UIProgress.h"
#include "ui/UIRender.h"
#include "ui/UIResourceZip.h"
#include "ui/UIRichEdit.h"
#include "ui/UIShadow.h"
#include "ui/UIWindow.h"
#include "ui/UIWindowImpl.h"
