#include "params/LocalListingTexts.h"

#include "messages/Messages.h"

ListingTexts LocalListingTexts()
{
    ListingTexts texts;
    texts.effectReboot = LocalText(MsgEffectReboot);
    texts.effectLoadProgram = LocalText(MsgEffectLoadProgram);
    texts.effectAtOnce = LocalText(MsgEffectAtOnce);
    texts.groupName = LocalText(MsgGroupName);
    texts.arrayType = LocalText(MsgArrayType);
    texts.maxLength = LocalText(MsgMaxLength);
    texts.serialNumberOrder = LocalText(MsgSerialNumberOrder);
    return texts;
}
