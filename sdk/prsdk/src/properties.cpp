#include "properties.h"

#include "prsdk/prsdk.h"

namespace prsim {
namespace {

// What every description carries; the form decides what follows it.
Property Described(std::uint16_t code, std::uint16_t type, std::uint8_t getSet, std::uint8_t form,
                   std::uint16_t current) {
    Property p;
    p.code = code;
    p.dataType = type;
    p.getSet = getSet;
    p.form = form;
    p.factoryDefault = current;
    p.current = current;
    return p;
}

Property Enumeration(std::uint16_t code, std::uint16_t type, std::uint16_t current,
                     std::vector<std::uint16_t> values) {
    Property p = Described(code, type, PR_PTP_READ_WRITE, PR_PTP_FORM_ENUM, current);
    p.values = std::move(values);
    return p;
}

Property Range(std::uint16_t code, std::uint16_t current, std::uint16_t minimum,
               std::uint16_t maximum, std::uint16_t step) {
    Property p = Described(code, PR_PTP_TYPE_UINT16, PR_PTP_READ_WRITE, PR_PTP_FORM_RANGE, current);
    p.minimum = minimum;
    p.maximum = maximum;
    p.step = step;
    return p;
}

Property ReadOnlyWord(std::uint16_t code, std::uint16_t current) {
    return Described(code, PR_PTP_TYPE_UINT16, PR_PTP_READ_ONLY, PR_PTP_FORM_NONE, current);
}

void Put(Bytes& out, std::uint32_t value, std::uint32_t size) {
    for (std::uint32_t i = 0; i < size; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

} // namespace

PropertyTable DefaultProperties() {
    constexpr std::uint16_t u8 = PR_PTP_TYPE_UINT8;
    constexpr std::uint16_t u16 = PR_PTP_TYPE_UINT16;
    const Property list[] = {
        Enumeration(PR_PROP_IMAGE_SIZE, u8, 0x00, {0x00, 0x01, 0x02}),
        Enumeration(PR_PROP_COMPRESSION, u8, 0x03, {0x02, 0x03, 0x05}),
        Enumeration(PR_PROP_FLASH_MODE, u8, 0x00, {0x00, 0x01, 0x02, 0x05}),
        Enumeration(PR_PROP_SHOOTING_MODE, u8, 0x01, {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06}),
        Enumeration(PR_PROP_ML_MODE, u8, 0x03, {0x00, 0x01, 0x03}),
        Enumeration(PR_PROP_AF_DISTANCE, u8, 0x00, {0x00, 0x01, 0x02}),
        Enumeration(PR_PROP_FOCUS_POINT, u16, 0x3001, {0x3000, 0x3001, 0x3002, 0x3003}),
        Enumeration(PR_PROP_WB_SETTING, u8, 0x00, {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06}),
        Enumeration(PR_PROP_ISO, u16, 0x0000, {0x0000, 0x0048, 0x0050, 0x0058, 0x0060}),
        Enumeration(
            PR_PROP_AV, u16, 0x0025,
            {0x0020, 0x0023, 0x0025, 0x0028, 0x002B, 0x002D, 0x0030, 0x0033, 0x0035, 0x0038}),
        Enumeration(PR_PROP_TV, u16, 0x0060,
                    {0x0018, 0x0020, 0x0028, 0x0030, 0x0038, 0x0040, 0x0048, 0x0050, 0x0058, 0x0060,
                     0x0068, 0x0070, 0x0078, 0x0080, 0x0088, 0x0090, 0x0098}),
        Enumeration(PR_PROP_EXPOSURE_COMP, u8, 0x00,
                    {0x00, 0x03, 0x05, 0x08, 0x0B, 0x0D, 0x10, 0xF0, 0xF3, 0xF5, 0xF8, 0xFB, 0xFD}),
        Enumeration(PR_PROP_FLASH_COMP, u8, 0x00, {0x00, 0x03, 0x05, 0x08, 0xF8, 0xFB, 0xFD}),
        Range(PR_PROP_ZOOM_POS, 0, 0, 8, 1),
        Enumeration(PR_PROP_PREVIEW_TYPE, u8, 0x01, {0x00, 0x01, 0x02, 0x03}),
        ReadOnlyWord(PR_PROP_DIGITAL_ZOOM, 3072),
        Enumeration(PR_PROP_PHOTO_EFFECT, u16, 0x0000,
                    {0x0000, 0x0001, 0x0002, 0x0003, 0x0004, 0x0005}),
        ReadOnlyWord(PR_PROP_ANGLE, 0),
    };
    PropertyTable table;
    for (const Property& p : list)
        table[p.code] = p;
    return table;
}

std::uint32_t ValueSize(const Property& property) {
    return property.dataType == PR_PTP_TYPE_UINT8 ? 1u : 2u;
}

std::uint32_t ValueLimit(std::uint16_t dataType) {
    return dataType == PR_PTP_TYPE_UINT8 ? 0xFFu : 0xFFFFu;
}

Bytes DescribeProperty(const Property& p) {
    const std::uint32_t size = ValueSize(p);
    Bytes out;
    Put(out, p.code, 2);
    Put(out, p.dataType, 2);
    Put(out, p.getSet, 1);
    Put(out, p.factoryDefault, size);
    Put(out, p.current, size);
    Put(out, p.form, 1);
    if (p.form == PR_PTP_FORM_RANGE) {
        Put(out, p.minimum, size);
        Put(out, p.maximum, size);
        Put(out, p.step, size);
    } else if (p.form == PR_PTP_FORM_ENUM) {
        Put(out, static_cast<std::uint32_t>(p.values.size()), 2);
        for (std::uint16_t v : p.values)
            Put(out, v, size);
    }
    return out;
}

ValueCheck CheckNewValue(const Property& p, std::uint32_t size, std::uint32_t value) {
    if (p.getSet != PR_PTP_READ_WRITE) return ValueCheck::ReadOnly;
    if (size != ValueSize(p)) return ValueCheck::WrongSize;
    if (p.form == PR_PTP_FORM_RANGE) {
        if (value < p.minimum || value > p.maximum) return ValueCheck::NotOffered;
        if (p.step != 0 && (value - p.minimum) % p.step != 0) return ValueCheck::NotOffered;
    } else if (p.form == PR_PTP_FORM_ENUM) {
        bool offered = false;
        for (std::uint16_t v : p.values)
            offered = offered || v == value;
        if (!offered) return ValueCheck::NotOffered;
    }
    return ValueCheck::Ok;
}

} // namespace prsim
