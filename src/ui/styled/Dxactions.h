#pragma once
// The small action machinery the styled button links to: an image list, an action list
// that may carry one, and an action with an image index.
//
// GUI thread only.

#include <QAction>
#include <QImage>
#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QPointer>

#include <functional>

// An ordered list of glyph images. Change() is emitted after every modification.
class TdxImageList : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    int Count() const { return int(m_Images.size()); }
    // The image at index, or a null image when the index is out of range.
    QImage GetBitmap(int index) const;
    int Add(const QImage& image);
    void Replace(int index, const QImage& image);
    void Delete(int index);
    void Clear();

signals:
    void Change();

private:
    QList<QImage> m_Images;
};

// Keeps one handler connected to at most one image list's Change().
class TdxChangeLink {
public:
    explicit TdxChangeLink(std::function<void(TdxImageList*)> onChange) : m_OnChange(std::move(onChange)) {}
    ~TdxChangeLink() { Unregister(); }
    TdxChangeLink(const TdxChangeLink&) = delete;
    TdxChangeLink& operator=(const TdxChangeLink&) = delete;

    TdxImageList* Images() const { return m_Images; }
    // Connects to `images` (null disconnects).
    void RegisterWith(TdxImageList* images);
    void Unregister();
    // Detaches the handler: later changes reach nobody.
    void ClearHandler() { m_OnChange = nullptr; }

private:
    std::function<void(TdxImageList*)> m_OnChange;
    QPointer<TdxImageList> m_Images;
    QMetaObject::Connection m_Connection;
};

// A list of actions that shares one image list.
class TdxActionList : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    TdxImageList* Images() const { return m_Images; }
    void SetImages(TdxImageList* images);

signals:
    void ImagesChanged();

private:
    QPointer<TdxImageList> m_Images;
};

// An action with an image index into its action list's image list. The caption is
// text(), the hint toolTip(); triggered() is its execute event.
class TdxAction : public QAction {
    Q_OBJECT
public:
    explicit TdxAction(QObject* parent = nullptr) : QAction(parent) {}

    TdxActionList* ActionList() const { return m_ActionList; }
    void SetActionList(TdxActionList* list);
    // -1 for none.
    int ImageIndex() const { return m_ImageIndex; }
    void SetImageIndex(int index);

signals:
    void ImageIndexChanged(int index);

private:
    QPointer<TdxActionList> m_ActionList;
    int m_ImageIndex = -1;
};
