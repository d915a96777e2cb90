#pragma once
// TfrmCustom: the output customisation wizard. Page 1 holds the profile and its values, page 2
// the output kinds, page 3 the player: tabs with the template galleries, player options, hidden
// controls, credits and decoration, beside a live preview of the generated player (Ruffle in a
// web view). The wizard edits the current settings as its scratch record and writes the task's
// own record only on OK. The rules without widgets live in wizard_logic.h.

#include "ui/custom/preview_clip_maker.h"
#include "ui/toolkit/skinned_form.h"
#include "ui/custom/wizard_logic.h"

#include <QColor>
#include <QPoint>
#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QSpinBox;
class QTemporaryDir;
class QTimer;
class QWidget;

namespace rm {
struct MediaItem;
}

namespace rm::ui {

class ImageButton;
class SkinPanel;
class PreviewServer;
class WizardLists;

class TfrmCustom : public SkinnedForm {
    Q_OBJECT
public:
    explicit TfrmCustom(QWidget* parent = nullptr);
    ~TfrmCustom() override;

    // ---- what the main window calls ----
    // Binds the wizard to a task (one that owns a settings record) and copies the task's
    // settings, except the profile group, into the current settings. Then show it modally.
    void SetTask(MediaItem* task);
    MediaItem* Task() const { return m_task; }
    // For a merge or slide group: its members in order, the first with a video gives the preview
    // its picture (call after SetTask; without it the group's own media is used).
    void SetPreviewMembers(const std::vector<const MediaItem*>& members);
    // Builds the three template galleries from the program folder (once; later calls do
    // nothing). Runs by itself on the first showing when nobody called it.
    void FillTemplateGalleries(const QString& programFolder = QString());

    // ---- dialogs, replaceable for tests ----
    struct FontChoice {
        QString face;
        int size = 8;
        QColor color;
    };
    using FileChooser = std::function<QString(const QString& filter)>;  // empty: cancelled
    using FontChooser = std::function<bool(FontChoice& font)>;          // false: cancelled
    using MessageShower = std::function<void(const QString& text)>;
    static void SetFileChooser(FileChooser f);
    static void SetFontChooser(FontChooser f);
    static void SetMessageShower(MessageShower f);
    // The preview is not generated (tests without the player maker's cost).
    static void SetPreviewEnabled(bool on);

    // ---- frame ----
    void ShowPage(int page);
    int Page() const { return m_page; }
    void FormShow();
    void FitPreview();
    void RefreshPreview();
    void EnterPlayerPage();
    void ApplySkin() override;
    int RefreshCount() const { return m_refreshCount; }
    int ProfileIndex() const { return m_profileIndex; }
    // The preview's page address (empty until the first preview).
    QString PreviewUrl() const { return m_previewUrl; }
    // Whether the preview says it is loading (its player not standing yet).
    bool PreviewLoadingShown() const { return previewLoading && previewLoading->isVisible(); }
    // The video the preview player was last written with: the clip of the task's own video, or
    // empty for the program's sample. Empty too while the clip is still being made.
    QString PreviewVideo() const { return m_previewVideo; }
    // The clip of the task's own video is being made (the preview waits for it).
    bool PreviewClipPending() const;
    // The emulator has loaded the player of the latest preview (false while it loads, and when
    // it gave up).
    bool PreviewPlayerLoaded() const { return m_previewLoaded; }
    // This instance's own folder for the preview player and its page (created on first use in
    // the user's runtime or cache folder, removed with the wizard); empty when none could be made.
    QString PreviewFolder();

    void btnOKClick();
    void closeClick();
    void btnNextClick();
    void btnBackClick();
    void comProfileChange();
    void valueListChange();
    void widthChange();
    void heightChange();
    void cus_flvClick();
    void cus_swfClick();
    void cus_thumbClick();
    // Tabs: 0 Player, 1 Effect, 2 Preloader, 3 Decorate, 4 Head, 5 Tail, 6 Option.
    void OpenTab(int tab);
    int OpenedTab() const { return m_openedTab; }

    // ---- galleries ----
    ImageButton* FindTile(int type, const QString& name) const;
    QLabel* FindFrame(int type, const QString& name) const;
    void MarkSelection(int type);
    void btn_Click(int type, const QString& name);

    // ---- options, credits, decoration ----
    void WritePlayerChecks();  // the mouse-up of any "Player"/"Option" box
    void hideAllClick();
    void headAddCreditClick();
    void tailAddCreditClick();
    void headimgOpenClick();
    void tailimgOpenClick();
    void head_fontClick();
    void tail_fontClick();
    void headMemoChange();
    void tailMemoChange();
    void addCreditsClick();
    void textClick();
    void imgClick();
    void decoOpenClick();
    void decoFontClick();
    void textValueChange();
    void urlValueChange();
    // Width in pixels of a text drawn in the wizard's own 8-point font.
    int MeasureText8pt(const QString& text) const;
    wizard::Rect OverlayRect() const;
    wizard::Rect BrowserRect() const;

    // ---- controls (names of the form) ----
    SkinPanel* customize_BG1 = nullptr;
    SkinPanel* customize_BG2 = nullptr;
    SkinPanel* customize_BG3 = nullptr;
    QLabel* mainLabel = nullptr;
    ImageButton* close = nullptr;
    ImageButton* btnBack = nullptr;
    ImageButton* btnNext = nullptr;
    ImageButton* btnOK = nullptr;
    QCheckBox* custom_default = nullptr;

    QComboBox* comProfile = nullptr;
    QComboBox* cmbVideoEncoder = nullptr;
    QComboBox* cmbVideoBitrate = nullptr;
    QComboBox* cmbFrameRate = nullptr;
    QSpinBox* width = nullptr;
    QSpinBox* height = nullptr;
    QCheckBox* proportional = nullptr;
    QComboBox* cmbSampleRate = nullptr;
    QComboBox* cmbAudioChannel = nullptr;
    QComboBox* cmbAudioEncoder = nullptr;
    QComboBox* cmbAudioBitrate = nullptr;

    QCheckBox* cus_flv = nullptr;
    QCheckBox* cus_swf = nullptr;
    QRadioButton* swfType_1 = nullptr;
    QRadioButton* swfType_2 = nullptr;
    QCheckBox* cus_html = nullptr;
    QCheckBox* cus_thumb = nullptr;

    QLabel* background = nullptr;
    QComboBox* cmbBackground = nullptr;
    ImageButton* btnPlayer = nullptr;
    ImageButton* btnEffect = nullptr;
    ImageButton* btnLoad = nullptr;
    ImageButton* btnDecorate = nullptr;
    ImageButton* btnHead = nullptr;
    ImageButton* btnTail = nullptr;
    ImageButton* btnOption = nullptr;
    QWidget* tabPlayerPanel = nullptr;
    QWidget* tabEffectPanel = nullptr;
    QWidget* tabLoadPanel = nullptr;
    QWidget* tabDecoratePanel = nullptr;
    QWidget* tabHeadPanel = nullptr;
    QWidget* tabTailPanel = nullptr;
    QWidget* tabOptionPanel = nullptr;
    QWidget* webPanel = nullptr;
    QWidget* webBrowser = nullptr;  // the browser control's place; the web view fills it
    QWidget* previewLoading = nullptr;  // "Loading the preview…" over it until the player stands
    QScrollArea* PlayerScrollBox = nullptr;
    QScrollArea* EffectScrollBox = nullptr;
    QScrollArea* LoadScrollBox = nullptr;

    QCheckBox* skinHide = nullptr;
    QCheckBox* mouseHide = nullptr;
    QSpinBox* hideDealyValue = nullptr;
    QCheckBox* slideHide = nullptr;
    QCheckBox* autoPlay = nullptr;
    QCheckBox* hideAll = nullptr;
    QCheckBox* hideMute = nullptr;
    QCheckBox* hideFullScreen = nullptr;
    QCheckBox* hideBN = nullptr;
    QCheckBox* hidePlaylist = nullptr;
    QCheckBox* hidePlaybar = nullptr;
    QCheckBox* hideVol = nullptr;
    QCheckBox* hideTime = nullptr;
    QCheckBox* hideSlide = nullptr;

    struct CreditTab {
        QCheckBox* addCredit = nullptr;
        QComboBox* bgcolor = nullptr;
        QSpinBox* duration = nullptr;
        QLineEdit* image = nullptr;
        QPushButton* imgOpen = nullptr;
        QPushButton* font = nullptr;
        QPlainTextEdit* memo = nullptr;
        FontChoice dialogFont;  // the font dialog's font
    };
    CreditTab head, tail;

    QCheckBox* addCredits = nullptr;
    QRadioButton* text = nullptr;
    QLineEdit* textValue = nullptr;
    QRadioButton* img = nullptr;
    QLineEdit* imgValue = nullptr;
    QPushButton* decoOpen = nullptr;
    QPushButton* decoFont = nullptr;
    QLabel* url = nullptr;
    QLineEdit* urlValue = nullptr;
    FontChoice decoFontDialog;
    QWidget* imgPanel = nullptr;
    QLabel* Image = nullptr;
    QLabel* Dec_text = nullptr;
    QTimer* sysTimer = nullptr;

protected:
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Gallery {
        QScrollArea* box = nullptr;
        QWidget* content = nullptr;
        QString folder;
        std::map<QString, ImageButton*> tiles;
        std::map<QString, QLabel*> frames;
    };
    void LayOutExtras();
    void ShowError(const QString& text);
    void BuildPage1();
    void BuildPage2();
    void BuildPage3();
    void BuildPlayerTab();
    void BuildOptionTab();
    void BuildCreditTab(CreditTab& t, QWidget* panel, bool isHead);
    void BuildDecorateTab();
    // Pictures that cannot be opened are added to `missing`; their tiles stay without a picture.
    void BuildGallery(int type, const QString& folder, QStringList& missing);
    void FillFromTask();
    void FillPlayerTabs();
    void LayOutTabButtons();
    void ShowTabsForType();
    int SelectedSwfType() const;
    bool IsSlideTask() const;
    void ApplyCreditEnabling(CreditTab& t);
    void CreditFontClick(CreditTab& t, bool isHead);
    void CreditMemoChange(CreditTab& t, bool isHead);
    void CreditImageOpen(CreditTab& t, bool isHead);
    void DecorationControlsStep();
    void ShowOverlay();
    void PlaceOverlay(const wizard::Rect& r);
    // The decoration rectangles are held relative to the video (the browser control), so the
    // output places them where they were put on the preview.
    wizard::Rect OverlayOnVideo() const;
    void PlaceOverlayOnVideo(const wizard::Rect& r);
    // A task whose profile is not in the catalogue: its stored values are shown as they are.
    void ShowStoredValuesOfUnknownProfile(const CustomSettings& t);
    void StoreOverlayAsImageRect();
    // The overlay's place on the video into the fields of the kind shown (text or picture).
    void StoreOverlayRect();
    void ShowPreviewLoading(bool on);
    // Asks the page whether its player has loaded, again a moment later until it has.
    void WatchPreviewLoading(int refresh, int triesLeft);
    // Before the kind changes: the place of the kind that was shown is kept for it.
    void KeepPlaceOfShownKind();
    void EnableTimer();
    void DisableTimer();
    void ToggleTimer();
    void SpinChange(QSpinBox* box, int32_t& field);
    bool WebViewWanted() const;
    void EnsureLoadingIndication();
    void EnsureWebView();
    void NavigatePreview();
    // Writes the preview player and has the browser show it; inAdvance: before the player page
    // is shown (the page then keeps that player when it is still the one asked for).
    void WritePreview(bool inAdvance);
    void PreparePreview();
    // Asks for the clip of the task's own video at the size on page 1 (made once, then kept).
    PreviewClipMaker::State RequestOwnClip();
    void OwnClipDone();
    QString ProgramFolderPath() const;

    int m_page = 1;
    MediaItem* m_task = nullptr;
    int m_refWidth = 0, m_refHeight = 0;
    int m_profileIndex = -1;
    bool m_rememberedHtml = true;
    int m_openedTab = 0;
    bool m_coupling = false;
    // The task's profile is not in the catalogue and page 1 is untouched: OK keeps the task's
    // own profile values instead of writing those of the profile shown.
    bool m_keepTaskProfile = false;
    int m_refreshCount = 0;
    QString m_previewUrl;
    QString m_previewVideo;
    bool m_previewLoaded = false;
    int m_navigatedRefresh = 0;    // the preview number of the page the browser shows
    QByteArray m_preparedPlayer;   // the player loaded in advance, until the player page opens
    PreviewClipSource m_clipSource;  // where the preview's own video comes from
    std::unique_ptr<PreviewClipMaker> m_clipMaker;
    QString m_galleryFolder;
    bool m_galleriesBuilt = false;
    bool m_pageThreeEntered = false;  // this showing: the browser control is fitted
    Gallery m_galleries[3];
    WizardLists* m_lists = nullptr;
    PreviewServer* m_server = nullptr;
    std::unique_ptr<QTemporaryDir> m_previewDir;
    QWidget* m_webView = nullptr;
    QLabel* m_previewTitle = nullptr;
    QLabel* m_decoHint = nullptr;
    // overlay drag state
    bool m_move = false, m_labelMove = false, m_resize = false;
    int m_edge = 0;
    QPoint m_press;
};

} // namespace rm::ui
