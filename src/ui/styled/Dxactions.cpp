#include "Dxactions.h"

QImage TdxImageList::GetBitmap(int index) const
{
    if (index < 0 || index >= Count())
        return {};
    return m_Images.at(index);
}

int TdxImageList::Add(const QImage& image)
{
    m_Images.append(image);
    emit Change();
    return Count() - 1;
}

void TdxImageList::Replace(int index, const QImage& image)
{
    if (index < 0 || index >= Count())
        return;
    m_Images[index] = image;
    emit Change();
}

void TdxImageList::Delete(int index)
{
    if (index < 0 || index >= Count())
        return;
    m_Images.removeAt(index);
    emit Change();
}

void TdxImageList::Clear()
{
    m_Images.clear();
    emit Change();
}

void TdxChangeLink::RegisterWith(TdxImageList* images)
{
    if (images == m_Images && (images == nullptr || m_Connection))
        return;
    Unregister();
    m_Images = images;
    if (images) {
        m_Connection = QObject::connect(images, &TdxImageList::Change, images, [this, images] {
            if (m_OnChange)
                m_OnChange(images);
        });
    }
}

void TdxChangeLink::Unregister()
{
    if (m_Connection)
        QObject::disconnect(m_Connection);
    m_Connection = {};
    m_Images = nullptr;
}

void TdxActionList::SetImages(TdxImageList* images)
{
    if (m_Images == images)
        return;
    m_Images = images;
    emit ImagesChanged();
}

void TdxAction::SetActionList(TdxActionList* list)
{
    if (m_ActionList == list)
        return;
    m_ActionList = list;
    emit changed();
}

void TdxAction::SetImageIndex(int index)
{
    if (m_ImageIndex == index)
        return;
    m_ImageIndex = index;
    emit ImageIndexChanged(index);
    emit changed();
}
